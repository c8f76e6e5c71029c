// The bodies of the fuzz targets, as plain functions: the libFuzzer programs call
// them with generated inputs, and the test suite replays the stored corpus
// through them in every build. Each returns normally or aborts on a broken
// invariant (sanitizers report memory and undefined-behaviour faults).
#pragma once

#include <cstddef>
#include <cstdint>

namespace xmca::fuzz {

// The bytes as a .dat file: read with validation into the program's state, then
// the text dump and the header fill for a save.
void spectrumFile(const std::uint8_t* data, std::size_t size);

// The bytes as a spectrum header and as text: calibration, comment and sample ID
// through the Shift-JIS conversions both ways, the energy label.
void headerText(const std::uint8_t* data, std::size_t size);

// The bytes as a misbehaving analyser: reply bytes, lengths, delays and driver
// failures for every command, and the operations of the link and the poll tick
// chosen by the input.
void analyserLink(const std::uint8_t* data, std::size_t size);

}  // namespace xmca::fuzz
