// Spectrum files applied to the measurement state: the cores of the "&Read",
// "&Write", "ReadSpec", "BG File" and "&AsciiWrite" commands. They return the
// texts the window shows (Edit1, Label1..3) instead of touching widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "files/file_guard.h"
#include "files/spectrum_header.h"
#include "model/measurement_state.h"

namespace xmca {

inline constexpr const char* kFileWriteError = "File Write Error !";
// A file that validates with more channels than a memory holds is not stored
// into the memory.
inline constexpr const char* kMemoryTooSmall = "Error ! Memory 4096ch Max";

struct FileLoadResult {
    bool opened = false;  // false: only the path and file name changed, no repaint
    InputKind input = InputKind::Missing;  // why it was not opened (a directory, a FIFO, ...)
    bool valid = false;   // header channel count == channels read
    int channelsRead = 0;
    int memoryStored = 0;   // memory k (1..3) that received the spectrum, or 0
    std::string edit1;      // text for Edit1; empty leaves Edit1 as it is
    // Window labels after a valid load (the new range and cursor); empty otherwise.
    std::string label1, label2, label3;
};

// Path and bare file name of the last file chosen in a dialog.
void rememberPath(MeasurementState& s, const std::string& path);

// Gain (offset 68) and offset (offset 72) when the header carries a calibration
// the program applies: marker not 1.0 and both coefficients finite with a
// non-zero gain (a zero-filled header's 0.0 marker does not wipe a calibration).
std::optional<std::pair<float, float>> headerCalibration(const SpectrumHeader& h);

// Times, calibration (marker rule) and the 16 ROIs (sign-extended) from a header.
void applyHeaderValues(MeasurementState& s, const SpectrumHeader& h);

// Read1Click core: remembers path, loads the file into the working header and
// spectrum and, on a valid file, into the memory selected in the "Mem" group.
FileLoadResult loadSpectrum(MeasurementState& s, const std::string& path);

// Read1Click core for a spectrum that did not come from a .dat file (an imported
// document): header and counts stand for the file's bytes; path is remembered as
// the file chosen. Counts are taken in whole blocks of 512 as from a file.
FileLoadResult loadSpectrumImage(MeasurementState& s, const std::string& path, const SpectrumHeader& header,
                                 std::span<const std::int32_t> counts);

// ReadSpecClick core: clears the start-of-acquisition flags, selects memory 1 and
// loads path (nullopt: dialog cancelled); a loaded file becomes the sample file.
FileLoadResult readSampleFile(MeasurementState& s, const std::optional<std::string>& path);

// BGfileClick core: selects memory 2 and loads path; a file that lands in memory 2
// becomes the background file and sets the background-file flag.
FileLoadResult readBackgroundFile(MeasurementState& s, const std::optional<std::string>& path);

// Fills the working header for writing: channel count, banner, calibration,
// ROIs (low 16 bits) and times.
void fillHeaderForWrite(MeasurementState& s);

// Write1Click core: remembers path, fills the working header and writes the .dat
// file. Returns the Edit1 text: empty on success, "File Write Error !" otherwise.
std::string saveSpectrum(MeasurementState& s, const std::string& path);

// The text dump of the working spectrum as it would be written to a file named
// dataFileName; updates the working header's times first.
std::string textDump(MeasurementState& s, const std::string& dataFileName);

// Write2Click core: remembers path and writes the text dump. Returns the Edit1
// text as saveSpectrum does.
std::string saveTextDump(MeasurementState& s, const std::string& path);

// Labels of the display window: "<lo>ch", "<hi>ch" and the cursor.
std::string channelLabel(int ch);

// The cursor energy as the status panel shows it: "%8.2f", or "%8.2e" when
// that would need more than eight digits, so no value widens the window.
std::string energyLabel(double energy);

// Written files must never be the files the program reads its spectra and
// analysis from: the text dump never goes over a spectrum file that was read
// (working, sample or background), the .dat write never over the sample or
// background file unless it is the file the working spectrum came from (saving
// back is allowed).
// Returns the Edit1 text for a refused target, empty when the target may be written.
inline constexpr const char* kOutputIsInput = "Error ! File Write: the file is an input";
std::string checkOutputTarget(const MeasurementState& s, const std::string& path, bool textDump);

// Exports (N42) carry measured spectra only: the analyser's, a file as read, a
// memory before a computation. A compressed, smoothed or background-subtracted
// spectrum has another channel count and no calibration of its own.
// Returns the Edit1 text refusing the working spectrum, empty when it may go.
inline constexpr const char* kProcessedSpectrum =
    "Error ! Export: processed spectrum (compressed, smoothed or net), not a measurement";
std::string checkMeasuredSpectrum(const MeasurementState& s);

}  // namespace xmca
