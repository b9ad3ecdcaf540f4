// The Model constructor's work, stage by stage, with the time each took.
#pragma once

#include "mesh/model.h"

enum Stage { readStage, parseStage, tableStage, faceNormalStage, cornerNormalStage, stageCount };
inline const char* const stageNames[stageCount] = {"read", "parse", "table", "face-n", "corner-n"};

// Builds `model` from the file at `path` with the constructor's steps and
// threads, and puts the seconds spent in each stage into `seconds`. The
// constructor writes each face record once, corner normals included; here
// the table, the face normals and the corner normals are three passes over
// it so that each can be timed, and the corner normals start by reading the
// table back.
void loadInStages(const char* path, Model& model, double seconds[stageCount]);
