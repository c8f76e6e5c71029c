// The operator's answers to the window's dialogs, from a script: files in order
// (then `next` for every further question), whether a printer exists, what the
// print dialog does and the answer to yes/no questions. Every question asked is kept.
#pragma once

#include <QPrinter>
#include <QString>

#include <deque>
#include <vector>

#include "xmca/page_dialogs.h"

namespace xmca::test {

class ScriptedDialogs : public PageDialogs {
public:
    std::deque<QString> files;  // answered first, in order
    QString next;               // then this one (empty: cancelled)
    bool printer = false;       // what the print service reports
    QString printerFile;        // the print dialog prints to this PDF file; empty: cancelled
    std::vector<FileQuestion> asked;
    int printerAsked = 0;
    bool yes = true;                 // the answer to every yes/no question
    std::vector<QString> questions;  // the yes/no questions asked

    int count(Kind kind) const {
        int n = 0;
        for (const auto& q : asked) n += q.kind == kind;
        return n;
    }

    QString chooseFile(const FileQuestion& question) override {
        asked.push_back(question);
        if (!files.empty()) {
            QString answer = files.front();
            files.pop_front();
            return answer;
        }
        return next;
    }
    bool hasPrinter() override { return printer; }
    bool choosePrinter(QPrinter& p) override {
        ++printerAsked;
        if (printerFile.isEmpty()) return false;
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(printerFile);
        return true;
    }
    bool confirm(const QString&, const QString& question) override {
        questions.push_back(question);
        return yes;
    }
};

}  // namespace xmca::test
