// mcatool subcommands. Each command gets its arguments after the subcommand name,
// prints its result on out (JSON where a result is asked for) and its messages on
// err, and returns the process exit code. To add a command, write its run
// function in its own file, declare it here and add one line to the table in
// main.cpp.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_guard.h"

class QGuiApplication;

namespace mcatool {

enum ExitCode : int {
    kExitOk = 0,
    kExitFileError = 1,  // file or data error; the message starts "Error !"
    kExitUsage = 2,
};

using Args = std::vector<std::string>;
using RunFn = int (*)(const Args& args, std::ostream& out, std::ostream& err);

struct Command {
    const char* name;
    const char* usage;  // arguments, for the usage text
    const char* summary;  // what it does, for --help and the manual page
    RunFn run;
};

// `mcatool info FILE.dat`: one JSON object describing the spectrum file.
int runInfo(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool dump FILE.dat OUT.txt`: the text dump of the file as the program writes it.
int runDump(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool render FILE.dat OUT.png [--lo A] [--hi B] [--log] [--vfs I] [--cursor C]`:
// the paint-box image the window shows after "&Read" of the file, as a PNG.
int runRender(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool fwhm FILE.dat --cursor M [--lo A] [--hi B]`: centroid and FWHM at the
// cursor as "FWHM Calic." computes them.
int runFwhm(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool fit FILE.dat --cursor M [--lo A] [--hi B]`: the peak fit's start values
// and its refinement.
int runFit(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool report FILE.dat OUT.pdf [--lo A] [--hi B] [--log] [--vfs I] [--dpi D]`:
// the printed report of the file as a one-page A4 PDF; JSON with the page size.
int runReport(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool n42 SAMPLE.dat OUT.n42 [--background BG.dat]`: the spectrum (and the
// background) as one N42.42-2011 document.
int runN42(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool import-n42 IN.n42 OUT.dat`: the first Foreground measurement (else the
// first) of an N42 document as a .dat file.
int runImportN42(const Args& args, std::ostream& out, std::ostream& err);

// `mcatool acquire <road> --channels N --preset SECONDS [--dead-time US] [--clear] -o OUT.dat`:
// an unattended acquisition with the window's acquisition cycle, saved as "SaveSpec" would.
int runAcquire(const Args& args, std::ostream& out, std::ostream& err);

// `mcatool activity SAMPLE.dat BACKGROUND.dat [--net NET.dat] [--level X] [--lower-limit Y]`:
// "ReadSpec", "BG File" and "Bq Calic" as the window runs them; the window sums,
// activities and screening figures as one JSON object.
int runActivity(const Args& args, std::ostream& out, std::ostream& err);

// `mcatool screen SAMPLE.dat BACKGROUND.dat --sample-id ID [...] [--register DB]`: `activity`'s
// computation, recorded in the register; its JSON plus "record": {"id", "register"}.
int runScreen(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool register list|export|verify [--register DB]`: the recorded screenings as a
// JSON array, as CSV, or checked against their spectrum files (exit 1 when any differs).
int runRegister(const Args& args, std::ostream& out, std::ostream& err);
// `mcatool qc CHECK.dat [--background BG.dat] [--register DB] [--new-baseline]`: the
// check-source run judged and recorded, as JSON; `mcatool qc --chart OUT.png|OUT.pdf
// [--register DB]`: the control chart of the installation's QC runs.
int runQc(const Args& args, std::ostream& out, std::ostream& err);

// `mcatool method calibrate ... | list [--register DB]`: a calibrated method formed
// from standard spectra and recorded as the next version of its name; every version.
int runMethod(const Args& args, std::ostream& out, std::ostream& err);

// File rules shared by every command (file_rules.cpp).
// True (and an "Error !" line on err) when output is the same file as one of inputs.
bool refuseOutputIsInput(const std::string& output, const std::vector<std::string>& inputs, std::ostream& err);
// The "Error !" text for an input that was not opened, saying why (directory, FIFO...).
std::string inputErrorText(const std::string& path, xmca::InputKind kind);
// Writes data as the whole of path through the safe replace; false (and an
// "Error !" line on err) when it was refused or failed.
bool writeOutputFile(const std::string& path, std::string_view data, std::ostream& err);
// Checks before long work that path can take the output (as writeOutputFile
// would decide, and that a file can be created beside it); false (and an
// "Error !" line on err) when not.
bool outputTargetOk(const std::string& path, std::ostream& err);
// A QGuiApplication on the offscreen platform for the drawing commands, unless
// one exists already (then nullptr). Keep it alive while drawing.
std::unique_ptr<QGuiApplication> ensureGuiApplication();

// A JSON string literal (quotes included) for UTF-8 text; invalid UTF-8 bytes
// become U+FFFD so the output is always valid JSON.
std::string jsonString(const std::string& utf8);

}  // namespace mcatool
