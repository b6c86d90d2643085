#pragma once
// Where the export's output is written until it is complete: a hidden name beside the final
// one, renamed when the export succeeded and removed otherwise, so that a failed or
// interrupted export never leaves a half-written file under the final name. A run ended by
// kill -9 or a crash leaves its hidden output behind; the next export into the same folder
// removes it.
#include <string>
#include <vector>

#include "export/FfmpegJob.h"

// The hidden name, beside finalPath, that the output is written under until it is complete
// (".NAME.PID.part": unique is the process id of the run).
std::string temporaryOutputPath(const std::string& finalPath, long unique);
// Removes the hidden outputs of earlier runs whose process is gone: those beside finalPath,
// and the temporary folders of frame sequences in its folder. The paths removed.
std::vector<std::string> removeLeftoverOutputs(const std::string& finalPath);

class PendingOutput {
public:
    // The output that will have finalPath as its name; nothing is reserved yet.
    PendingOutput(std::string finalPath, ExportFormat format);
    // Removes whatever was written under the temporary name, unless it was committed.
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Reserves the temporary name (a file, or for a frame sequence a folder the frames are
    // written into); false (errno set) when the folder cannot be written.
    bool reserve();
    // The name ffmpeg is told to write.
    const std::string& output() const { return ffmpegOutput; }
    // Moves the output (frameCount frames of a sequence) to its final name; false (errno
    // set) when that fails, leaving nothing under the final names.
    bool commit(int frameCount);
    // Removes whatever was written under the temporary name.
    void discard();

private:
    std::string finalPath;
    bool sequence;             // a frame sequence: the temporary name is a folder
    std::string temporary;     // the reserved temporary name, empty when none
    std::string ffmpegOutput;  // what ffmpeg is told to write
};
