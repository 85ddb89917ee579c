// How the loading commands caption a loader's failure, for every kind of file and exception:
// the file's own failures keep their captions whichever command loaded the file.

#include "app/LoadFailureReport.h"

#include "bake/ImportProcess.h"
#include "camera/CameraKeysFile.h"
#include "foundation/Exception.h"
#include "herd/HerdFile.h"

#include <gtest/gtest.h>

TEST(LoadFailureReport, TheFilesOwnFailuresKeepTheirCaptionsAndCountAsLoaded)
{
    const CreationException badSkin("Caught exception reading file.");
    const IOException io("Unable to open file 'x' for reading.");
    const ParserException mesh("Invalid vertex", "m.obj", 1, 1);
    const HerdFileException herdLine("Invalid line 2 in file 'h.herd'.");
    const CameraKeysReadError cut("Error reading file 'k.keys': unexpected end of file");
    const LinearAlgebraException other("singular");
    const ModelImportException model("Importing model 'm.fbx' failed: the importer stopped on signal 11.");
    const std::string command = "Error reading herd";
    struct Case {
        FileKind kind;
        const Exception& failure;
        LoadFailureReport expected;
    };
    const Case cases[] = {
        {FileKind::BinarySkin, badSkin, {"Error reading skin", true}},
        {FileKind::BinarySkin, io, {command, false}},
        {FileKind::TextSkin, badSkin, {"Error reading skin", true}},
        {FileKind::TextSkin, mesh, {command, false}},
        {FileKind::TextSkin, io, {command, false}},
        // In a herd file, whatever is not the herd file's own fault is a skin file's.
        {FileKind::Herd, herdLine, {command, false}},
        {FileKind::Herd, badSkin, {"Error reading skin", true}},
        {FileKind::Herd, mesh, {"Error reading file", true}},
        {FileKind::Herd, io, {"Error reading file", true}},
        {FileKind::CameraKeys, cut, {"Error reading camera keys", true}},
        {FileKind::CameraKeys, io, {command, false}},
        {FileKind::CameraKeys, badSkin, {command, false}},
        {FileKind::CameraKeys, other, {command, false}},
        // A model file is imported where a binary skin would be read, and a herd may name one.
        {FileKind::BinarySkin, model, {"Error importing model", true}},
        {FileKind::Herd, model, {"Error importing model", true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(loadFailureReport(c.kind, c.failure, command), c.expected)
            << static_cast<int>(c.kind) << ": " << c.failure.message();
}
