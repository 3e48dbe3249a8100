#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "common/meshgen/MeshChecks.h"
#include "d3dx9/xfile/XFileReader.h"

// One run of `orvala-tool mesh ...` into a file of a test folder, read back with the .x reader.
struct GeneratedMesh {
    ToolResult run;
    std::string bytes;    // the file as written
    XFileResult read;     // how the reader took it
    XFileModel model;
    meshgen::CheckMesh mesh; // the first mesh, ready for the checks
};

// Runs orvala-tool with `args` followed by `dir/fileName` and reads the file back.
inline GeneratedMesh RunMeshTool(const TempDir& dir, std::vector<std::string> args,
                                 const std::string& fileName = "out.x")
{
    GeneratedMesh result;
    const std::string path = (dir.path() / fileName).string();
    args.push_back(path);
    result.run = RunTool(args);
    if (result.run.exitCode != 0) {
        result.read = XFileResult::Failure("the tool failed: " + result.run.err);
        return result;
    }
    result.bytes = ReadFileBytes(path);
    XFileReader reader;
    result.read = reader.Read(result.bytes.data(), result.bytes.size(), result.model);
    if (result.read.ok && !result.model.meshes.empty())
        result.mesh = meshgen::CheckMeshFromXFile(result.model.meshes[0]);
    return result;
}

// Fails the test (and returns false) unless the run succeeded and the file read back.
inline bool ReadBack(const GeneratedMesh& generated)
{
    EXPECT_EQ(generated.run.exitCode, 0) << generated.run.err;
    EXPECT_TRUE(generated.read.ok) << generated.read.message;
    return generated.run.exitCode == 0 && generated.read.ok && !generated.model.meshes.empty();
}
