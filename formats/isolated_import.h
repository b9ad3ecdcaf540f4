// importWithAssimp (formats/assimp_import.h) in a limited child process
// (process/child_process.h), so that a crash, a hang or a runaway allocation
// inside the library ends the child and becomes one line here, never the end
// of the program that reads the file.
//
// The child may take `memoryBytes` of address space beyond what it starts
// with, plus 16 bytes for every byte of any other file the library opens
// (a glTF's buffers, say), and is killed after `seconds`. It hands the mesh
// back through a memory file that is read here only once the child has
// ended well, and checked again (sizes, order, indices, finite positions).
#pragma once

#include <cstdint>
#include <string>

#include "mesh/polygon_mesh.h"
#include "process/child_process.h"

// The limits for an input of `fileBytes` bytes: 512 MiB of address space
// plus 16 bytes for every byte of the file, and 10 s plus 1 s for every
// 10 MB (10^7 bytes) of it.
ChildLimits importLimits(std::uint64_t fileBytes);

// Reads the file at `path` (a regular file of `fileBytes` bytes) into `mesh`
// in a child process under importLimits(fileBytes). On failure returns false
// with one line in `error`, starting with the path:
//   <path>: <the library's reason>
//   <path>: the importer failed (crashed on this file)
//   <path>: the importer failed (gave up after 12 s)
//   <path>: the importer failed (needed more than 545 MiB for a file of 2 KiB)
//   <path>: the importer failed (stopped with status 1)
//   <path>: cannot start the importer: <reason>
bool importInChild(const std::string& path, std::uint64_t fileBytes, PolygonMesh& mesh, std::string& error);
