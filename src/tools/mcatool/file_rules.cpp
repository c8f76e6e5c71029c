// Rules every mcatool command applies to its files: inputs must be regular files
// (never blocking on a FIFO or device), an output is never one of the inputs,
// and outputs are written through the safe replace.
#include "files/file_guard.h"
#include "files/safe_write.h"
#include "tools/mcatool/commands.h"

namespace mcatool {

bool refuseOutputIsInput(const std::string& output, const std::vector<std::string>& inputs, std::ostream& err) {
    for (const std::string& in : inputs) {
        if (xmca::sameFile(output, in)) {
            err << "Error ! " << output << " is the input file " << in << "; it is not overwritten\n";
            return true;
        }
    }
    return false;
}

std::string inputErrorText(const std::string& path, xmca::InputKind kind) {
    switch (kind) {
        case xmca::InputKind::Directory: return "Error ! " + path + " is a directory, not a spectrum file";
        case xmca::InputKind::NotRegular:
            return "Error ! " + path + " is not a regular file (a pipe or device is not read)";
        case xmca::InputKind::Missing:
        case xmca::InputKind::Regular: break;
    }
    return "Error ! cannot open " + path;
}

namespace {

// The "Error !" line for a refused or failed write of path.
void writeErrorLine(xmca::WriteStatus st, const std::string& path, std::ostream& err) {
    switch (st) {
        case xmca::WriteStatus::Ok: break;
        case xmca::WriteStatus::Refused: err << "Error ! " << path << " is write-protected; it is not replaced\n"; break;
        case xmca::WriteStatus::NotRegular:
            err << "Error ! " << path << " is not a regular file (a pipe or device is not written)\n";
            break;
        case xmca::WriteStatus::OpenFailed: err << "Error ! cannot create " << path << '\n'; break;
        case xmca::WriteStatus::WriteFailed: err << "Error ! cannot write " << path << " (the previous file is kept)\n"; break;
    }
}

}  // namespace

bool writeOutputFile(const std::string& path, std::string_view data, std::ostream& err) {
    const xmca::WriteStatus st = xmca::writeWholeFile(path, data);
    writeErrorLine(st, path, err);
    return st == xmca::WriteStatus::Ok;
}

bool outputTargetOk(const std::string& path, std::ostream& err) {
    const xmca::WriteStatus st = xmca::checkWriteTarget(path);
    writeErrorLine(st, path, err);
    return st == xmca::WriteStatus::Ok;
}

}  // namespace mcatool
