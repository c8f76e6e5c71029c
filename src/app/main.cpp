// xmca: starts the main window on the vendor D2XX driver, or with --simulate on the
// built-in simulated analyser.
#include <QApplication>
#include <cstdio>
#include <ctime>
#include <memory>

#include "command_line.h"
#include "device/d2xx_driver.h"
#include "device/simulated_analyser.h"
#include "xmca/tdm_qrvl.h"
#include "xmca/tform1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("xmca");

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    std::string error;
    const auto cl = xmca::parseCommandLine(args, error);
    if (!cl) {
        std::fprintf(stderr, "xmca: %s\n%s", error.c_str(), xmca::usageText());
        return 2;
    }
    if (cl->help) {
        std::fputs(xmca::usageText(), stdout);
        return 0;
    }

    std::unique_ptr<xmca::FtdiDriver> driver;
    TForm1::Options options;
    if (cl->simulate) {
        xmca::SimulatedAnalyserConfig cfg;
        cfg.deviceCount = cl->simDevices;
        if (cl->cs134) cfg.cs134 = *cl->cs134;
        if (cl->cs137) cfg.cs137 = *cl->cs137;
        if (cl->k40) cfg.k40 = *cl->k40;
        cfg.backgroundOnly = cl->background;
        cfg.seed = static_cast<std::uint64_t>(std::time(nullptr));
        driver = std::make_unique<xmca::SimulatedAnalyser>(cfg, std::make_shared<xmca::WallClock>(cl->simSpeed));
        options.simulated = true;
        options.driverMessage = cl->background
                                    ? QString("Simulated analyser: background only")
                                    : QString("Simulated analyser: Cs-134 %1, Cs-137 %2, K-40 %3 Bq/Kg")
                                          .arg(cfg.cs134)
                                          .arg(cfg.cs137)
                                          .arg(cfg.k40);
    } else {
        auto d2xx = std::make_unique<xmca::D2xxDriver>();
        if (!d2xx->load()) options.driverMessage = QString::fromStdString(d2xx->message());
        driver = std::move(d2xx);
    }

    TDmQRVL dataModule;
    TForm1 form(std::move(driver), options);
    form.show();
    return app.exec();
}
