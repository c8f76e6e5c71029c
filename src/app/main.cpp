// xmca: starts the main window on the road to the analyser named on the command line
// (vendor D2XX library, libftdi1, a serial port, or the built-in simulated analyser).
#include <QApplication>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/link_client.h"
#include "command_line.h"
#include "xmca/link_worker.h"
#include "xmca/tdm_qrvl.h"
#include "register/register.h"
#include "xmca/tform1.h"
#include "xmca/window_language.h"

namespace {

std::vector<std::string> arguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

// --help and --version answer before QApplication exists, so that they need no
// display (the manual page is made from them at build time).
bool answeredWithoutWindow(const std::optional<xmca::CommandLine>& cl) {
    if (!cl) return false;
    if (cl->help) {
        std::fputs(xmca::usageText(), stdout);
        return true;
    }
    if (cl->version) {
        std::fputs(xmca::versionText(), stdout);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    // Qt's own options (-platform, -style...) are not ours: a command line holding
    // them is parsed again once QApplication has taken them out.
    if (answeredWithoutWindow(xmca::parseCommandLine(arguments(argc, argv), error))) return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName("xmca");
    QApplication::setApplicationVersion(QStringLiteral(XMCA_VERSION));

    const auto cl = xmca::parseCommandLine(arguments(argc, argv), error);
    if (!cl) {
        std::fprintf(stderr, "xmca: %s\n%s", error.c_str(), xmca::usageText());
        return 2;
    }
    if (answeredWithoutWindow(cl)) return 0;

    // The window's language; files, reports and mcatool stay English whatever it is.
    const QString lang = xmca::ui::chooseLanguage(QString::fromStdString(cl->lang));
    if (!xmca::ui::installLanguage(lang))
        std::fprintf(stderr, "xmca: no %s translation found; the window stays English\n", lang.toUtf8().constData());

    xmca::ChosenDriver chosen = xmca::makeDriver(cl->road, xmca::freshSimulatorSeed());

    TForm1::Options options;
    if (chosen.simulator) {
        const xmca::SimulatedAnalyserConfig& cfg = chosen.simulator->config();
        options.simulated = true;
        options.simulator = chosen.simulator;
        options.simulatedSample = {cfg.cs134, cfg.cs137, cfg.k40};
        options.driverMessage = cl->road.background
                                    ? QCoreApplication::translate("main", "Simulated analyser: background only")
                                    : QCoreApplication::translate("main",
                                                                  "Simulated analyser: Cs-134 %1, Cs-137 %2, K-40 %3 Bq/Kg")
                                          .arg(cfg.cs134)
                                          .arg(cfg.cs137)
                                          .arg(cfg.k40);
        if (cfg.gain != 1.0) options.driverMessage += QString(", gain %1").arg(cfg.gain);
        if (cfg.efficiency != 1.0)
            options.driverMessage += QCoreApplication::translate("main", ", efficiency %1").arg(cfg.efficiency);
    } else {
        options.driverMessage = QString::fromStdString(chosen.message);
    }
    // The link client owns the driver from here on and talks to it only on its own
    // thread: the window never waits for the analyser.
    auto worker = std::make_unique<LinkWorker>(std::make_unique<xmca::LinkClient>(std::move(chosen.driver)),
                                               LinkWorker::Mode::Thread);

    TDmQRVL dataModule;
    TForm1 form(std::move(worker), options);
    // Simulated counts never go into the laboratory's register: they have a file of
    // their own unless a register is named.
    const std::string registerAt = !cl->registerLocation.empty() ? cl->registerLocation
                                   : chosen.simulator           ? xmca::reg::simulatorRegisterLocation()
                                                                : std::string();
    form.lab().setRegisterLocation(QString::fromStdString(registerAt));
    // The road to the analyser in the title (the simulator's own title says so already).
    if (!chosen.simulator && !chosen.road.empty())
        form.setWindowTitle(QString("xmca - %1").arg(QString::fromStdString(chosen.road)));
    form.show();
    return app.exec();
}
