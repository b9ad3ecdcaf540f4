// The Model constructor's work, stage by stage, with the time each took.
#pragma once

#include "mesh/model.h"

enum Stage { readStage, parseStage, tableStage, faceNormalStage, cornerNormalStage, stageCount };
inline const char* const stageNames[stageCount] = {"read", "parse", "table", "face-n", "corner-n"};

// Builds `model` from the file at `path` with the constructor's steps and
// threads, and puts the seconds spent in each stage into `seconds`. The
// constructor fills each face record (positions, then its normal) in one
// pass; here the two are separate passes so that each can be timed, which
// costs a second trip through the face table.
void loadInStages(const char* path, Model& model, double seconds[stageCount]);
