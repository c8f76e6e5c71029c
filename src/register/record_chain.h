// The hash chain over the measurements: each record holds the SHA-256 of the
// previous record's hash and of its own canonical content, so that a record
// changed or removed behind the program's back (triggers dropped, the file edited)
// shows as the first record whose hash no longer follows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "register/register.h"

namespace xmca::reg {

// The "previous hash" of the first record.
inline const std::string kChainStart(64, '0');

// Every hashed column by name, each value length-prefixed and typed, so that no
// two different records give the same text.
std::string canonicalMeasurement(const MeasurementRecord& r);

// SHA-256 (lower-case hex) of prev and the record's canonical content.
std::string chainHash(const std::string& prev, const MeasurementRecord& r);

// Checks records fed oldest first: the first one whose stored hash does not follow.
class ChainChecker {
public:
    // False (and brokenId / problem set) at the first record that breaks the chain.
    bool add(const MeasurementRecord& r);
    std::int64_t checked() const { return checked_; }
    std::optional<std::int64_t> brokenId() const { return broken_; }
    const std::string& problem() const { return problem_; }

private:
    std::string prev_ = kChainStart;
    std::int64_t checked_ = 0;
    std::optional<std::int64_t> broken_;
    std::string problem_;
};

// True when every text field is valid UTF-8 without NUL; else false and the field named.
bool recordTextIsClean(const MeasurementRecord& r, std::string& error);
bool textIsClean(const std::string& s);

}  // namespace xmca::reg
