// The questions the main window and its pages put to the operator through a
// dialog: which file to open or save (spectra, text dumps, N42, PDF, CSV), which
// printer, and yes or no before a step that cannot be undone. The window uses the widget dialogs; tests answer from a script.
#pragma once

#include <QCoreApplication>
#include <QString>

class QPrinter;
class QWidget;

class PageDialogs {
public:
    enum class Kind { OpenSpectrum, SaveSpectrum, SaveText, OpenN42, SaveN42, SavePdf, SaveCsv };
    struct FileQuestion {
        Kind kind = Kind::OpenSpectrum;
        QString title;      // empty: the dialog's own
        QString filter;     // the name filter shown, e.g. "Spectrum (*.dat)"
        QString suffix;     // added to a name typed without one ("dat")
        QString suggested;  // a name or path offered first (empty: none)
        QString folder;     // where the dialog opens (empty: the current folder)
        bool opens() const { return kind == Kind::OpenSpectrum || kind == Kind::OpenN42; }
    };

    // The question for a spectrum file (.dat) to open, starting in folder.
    static FileQuestion spectrumToOpen(const QString& title, const QString& folder = {});

    virtual ~PageDialogs() = default;
    // The file chosen; empty when the operator cancelled.
    virtual QString chooseFile(const FileQuestion& question) = 0;
    // True when the print service knows a printer (otherwise pages go into a PDF).
    virtual bool hasPrinter() = 0;
    // Lets the operator set up printer; false when cancelled.
    virtual bool choosePrinter(QPrinter& printer) = 0;
    // Asks a yes/no question before a step that cannot be undone; true for yes.
    virtual bool confirm(const QString& title, const QString& question) = 0;
};

// The modal Qt dialogs, over parent.
class WidgetDialogs : public PageDialogs {
    Q_DECLARE_TR_FUNCTIONS(WidgetDialogs)

public:
    explicit WidgetDialogs(QWidget* parent) : parent_(parent) {}
    QString chooseFile(const FileQuestion& question) override;
    bool hasPrinter() override;
    bool choosePrinter(QPrinter& printer) override;
    bool confirm(const QString& title, const QString& question) override;

private:
    QWidget* parent_;
};
