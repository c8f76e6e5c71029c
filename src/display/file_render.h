// The paint-box image of a spectrum file as the window shows it after "&Read"
// with no acquisition running, with a chosen view: the core of `mcatool render`.
#pragma once

#include <QImage>
#include <optional>
#include <string>
#include <vector>

namespace xmca::display {

struct RenderArgs {
    std::string input;   // FILE.dat
    std::string output;  // OUT.png
    std::optional<int> lo, hi, vfs, cursor;
    bool log = false;
};

// The command-line shape of the file-to-picture commands: positional arguments,
// integer options named in `ints` (each takes the next argument) and the --log
// flag, in any order. False with error set on a missing or non-integer value or
// an unknown option.
struct IntOption {
    const char* name;
    std::optional<int>* value;
};
bool splitViewArgs(const std::vector<std::string>& args, const std::vector<IntOption>& ints, bool& log,
                   std::vector<std::string>& positional, std::string& error);

// Parses FILE.dat OUT.png [--lo A] [--hi B] [--log] [--vfs I] [--cursor C].
// nullopt with error set on bad usage.
std::optional<RenderArgs> parseRenderArgs(const std::vector<std::string>& args, std::string& error);

struct RenderOutcome {
    int exitCode = 0;     // 0 ok, 1 unreadable or invalid file, 2 a view outside the spectrum
    std::string message;  // "Error !..." for exit code 1
    QImage image;         // the 528 x 336 frame when exitCode is 0
};

// Reads args.input into a fresh measurement state as "&Read" does, applies the
// view (defaults: the whole spectrum 0 .. N-1, linear, full-scale step 2, cursor
// N/2) and composes the frame. Needs a QGuiApplication.
RenderOutcome renderSpectrumFile(const RenderArgs& args);

}  // namespace xmca::display
