#include "xmca/method_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "model/method_store.h"
#include "register/register.h"
#include "xmca/lab_context.h"
#include "xmca/page_dialogs.h"
#include "xmca/window_language.h"

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s8(const QString& s) { return s.trimmed().toStdString(); }

bool number(const QString& t, double& out) {
    bool ok = false;
    out = t.trimmed().toDouble(&ok);
    return ok;
}

const char* const kNuclides[3] = {"Cs-137", "Cs-134", "K-40"};

}  // namespace

MethodDialog::MethodDialog(QWidget* parent, LabContext& lab, PageDialogs& dialogs)
    : QDialog(parent), lab_(lab), dialogs_(dialogs) {
    setObjectName("MethodDialog");
    setWindowTitle(tr("Methods"));
    auto* lay = new QVBoxLayout(this);

    inForce_ = new QLabel(this);
    inForce_->setObjectName("MethodInForce");
    lay->addWidget(inForce_);

    methods_ = new QTableWidget(0, 6, this);
    methods_->setObjectName("MethodTable");
    methods_->setHorizontalHeaderLabels({tr("Name"), tr("Version"), tr("Calibrated"), tr("Geometry"),
                                         tr("Mass range (kg)"), tr("Cs-134")});
    methods_->setSelectionBehavior(QAbstractItemView::SelectRows);
    methods_->setSelectionMode(QAbstractItemView::SingleSelection);
    methods_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    methods_->horizontalHeader()->setStretchLastSection(true);
    lay->addWidget(methods_, 1);

    response_ = new QTableWidget(3, 3, this);
    response_->setObjectName("ResponseTable");
    response_->setHorizontalHeaderLabels({"Cs-137", "Cs-134", "K-40"});
    response_->setVerticalHeaderLabels({"Cs-All", "Cs-134", "K-40"});
    response_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    response_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    response_->setToolTip(tr("Counts per second per Bq of each nuclide (columns) in each window (rows), with u"));
    lay->addWidget(new QLabel(tr("Response (counts/s per Bq, u in brackets)"), this));
    lay->addWidget(response_);

    auto* forceRow = new QHBoxLayout;
    auto* setDefault = new QPushButton(tr("Set as default"), this);
    setDefault->setObjectName("SetDefaultMethod");
    auto* factory = new QPushButton(tr("Use the fixed factors"), this);
    factory->setObjectName("UseFactory");
    decay_ = new QCheckBox(tr("Correct figures to the sampling date"), this);
    decay_->setObjectName("DecayToSampling");
    decay_->setChecked(lab_.settings().decayToSamplingDate);
    forceRow->addWidget(setDefault);
    forceRow->addWidget(factory);
    forceRow->addWidget(decay_);
    forceRow->addStretch(1);
    lay->addLayout(forceRow);

    // Calibration from files.
    auto* cBox = new QGroupBox(tr("Calibrate a method"), this);
    auto* form = new QFormLayout;
    name_ = new QLineEdit(cBox);
    name_->setObjectName("MethodName");
    geometry_ = new QLineEdit(cBox);
    geometry_->setObjectName("MethodGeometry");
    geometry_->setPlaceholderText(tr("e.g. 1 L Marinelli, filled to the mark"));
    mass_ = new QLineEdit(cBox);
    mass_->setObjectName("MethodMass");
    range_ = new QLineEdit(cBox);
    range_->setObjectName("MethodMassRange");
    range_->setPlaceholderText(tr("nominal +/- 15 %"));
    background_ = new QLineEdit(cBox);
    background_->setObjectName("MethodBackground");
    form->addRow(tr("Name"), name_);
    form->addRow(tr("Geometry"), geometry_);
    form->addRow(tr("Nominal mass (kg)"), mass_);
    form->addRow(tr("Mass range (kg, LO-HI)"), range_);
    auto fileRow = [&](QLineEdit* edit) {
        auto* row = new QHBoxLayout;
        auto* pick = new QPushButton(tr("Choose..."), cBox);
        row->addWidget(edit, 1);
        row->addWidget(pick);
        connect(pick, &QPushButton::clicked, this, [this, edit] {
            PageDialogs::FileQuestion question = PageDialogs::spectrumToOpen(tr("Spectrum file"));
            question.suggested = edit->text();
            const QString f = dialogs_.chooseFile(question);
            if (!f.isEmpty()) edit->setText(f);
        });
        return row;
    };
    form->addRow(tr("Background"), fileRow(background_));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Standard file"), cBox), 0, 1);
    grid->addWidget(new QLabel(tr("Certified Bq"), cBox), 0, 2);
    grid->addWidget(new QLabel(tr("Reference date"), cBox), 0, 3);
    grid->addWidget(new QLabel(tr("u (%)"), cBox), 0, 4);
    for (int n = 0; n < 3; ++n) {
        StandardFields& f = fields_[n];
        f.file = new QLineEdit(cBox);
        f.bq = new QLineEdit(cBox);
        f.date = new QLineEdit(cBox);
        f.u = new QLineEdit(cBox);
        f.file->setObjectName(QString("StandardFile%1").arg(n));
        f.date->setPlaceholderText(n == 2 ? tr("none (KCl: 16.3 Bq per g)") : tr("YYYY-MM-DD"));
        f.date->setEnabled(n != 2);
        grid->addWidget(new QLabel(kNuclides[n], cBox), n + 1, 0);
        grid->addLayout(fileRow(f.file), n + 1, 1);
        grid->addWidget(f.bq, n + 1, 2);
        grid->addWidget(f.date, n + 1, 3);
        grid->addWidget(f.u, n + 1, 4);
    }
    auto* cLay = new QVBoxLayout(cBox);
    cLay->addLayout(form);
    cLay->addLayout(grid);
    auto* calibrateBtn = new QPushButton(tr("Calibrate and record"), cBox);
    calibrateBtn->setObjectName("CalibrateMethod");
    cLay->addWidget(calibrateBtn);
    lay->addWidget(cBox);

    message_ = new QLabel(this);
    message_->setObjectName("MethodMessage");
    message_->setWordWrap(true);
    lay->addWidget(message_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    lay->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(calibrateBtn, &QPushButton::clicked, this, &MethodDialog::calibrate);
    connect(setDefault, &QPushButton::clicked, this, &MethodDialog::setDefault);
    connect(factory, &QPushButton::clicked, this, &MethodDialog::useFactory);
    connect(decay_, &QCheckBox::toggled, this, [this](bool on) {
        if (!lab_.updateSettings([on](xmca::LabSettings& s) { s.decayToSamplingDate = on; }))
            say(tr("The settings could not be saved."), true);
    });
    connect(methods_, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) { showResponse(row); });
    resize(820, 720);
    reload();
}

void MethodDialog::say(const QString& text, bool error) {
    message_->setText(text);
    message_->setStyleSheet(error ? "color: #c00000" : "");
}

void MethodDialog::reload() {
    showInForce();
    struct Listed {
        std::vector<xmca::method::Method> methods;
        std::string error;
        bool ok = false;
    };
    const int asked = ++listing_;
    lab_.request<Listed>(
        this,
        [](RegisterAccess& a) {
            Listed l;
            if (!a.reg()) l.error = a.error();
            else l.ok = xmca::listMethods(*a.reg(), l.methods, l.error);
            return l;
        },
        [this, asked](Listed l) {
            if (asked != listing_) return;
            if (!l.ok) say(tr("The register cannot be read: %1").arg(q(l.error)), true);
            list_ = std::move(l.methods);
            methods_->setRowCount(static_cast<int>(list_.size()));
            for (int r = 0; r < static_cast<int>(list_.size()); ++r) {
                const auto& m = list_[static_cast<std::size_t>(r)];
                const QStringList cells = {q(m.name), QString::number(m.version), q(m.calibratedUtc.substr(0, 10)),
                                           q(m.geometry), QString("%1 - %2").arg(m.massLoKg).arg(m.massHiKg),
                                           m.cs134Assumed ? tr("assumed") : tr("measured")};
                for (int c = 0; c < cells.size(); ++c) methods_->setItem(r, c, new QTableWidgetItem(cells[c]));
            }
            methods_->resizeColumnsToContents();
            if (!list_.empty()) methods_->selectRow(0);
            showResponse(list_.empty() ? -1 : 0);
        });
}

void MethodDialog::showInForce() {
    const std::string& name = lab_.settings().defaultMethod;
    inForce_->setText(name.empty() ? tr("In force: the fixed factors (factory)")
                                   : tr("In force: %1 (its newest version)").arg(q(name)));
}

void MethodDialog::showResponse(int row) {
    response_->clearContents();
    if (row < 0 || row >= static_cast<int>(list_.size())) return;
    const auto& m = list_[static_cast<std::size_t>(row)];
    for (int w = 0; w < 3; ++w)
        for (int n = 0; n < 3; ++n)
            response_->setItem(w, n, new QTableWidgetItem(QString("%1 (%2)")
                                                              .arg(m.response.value[w][n], 0, 'g', 4)
                                                              .arg(m.response.u(w, n), 0, 'g', 2)));
}

void MethodDialog::calibrate() {
    xmca::CalibrationRequest req;
    req.name = s8(name_->text());
    req.geometry = s8(geometry_->text());
    req.backgroundPath = s8(background_->text());
    if (req.name.empty() || req.name == xmca::method::kFactoryName) {
        say(tr("Name the method (not \"factory\")."), true);
        return;
    }
    if (!number(mass_->text(), req.nominalMassKg) || !(req.nominalMassKg > 0)) {
        say(tr("Enter the nominal mass in kg."), true);
        return;
    }
    if (!range_->text().trimmed().isEmpty()) {
        const QStringList parts = range_->text().trimmed().split('-');
        double lo = 0, hi = 0;
        if (parts.size() != 2 || !number(parts[0], lo) || !number(parts[1], hi) || !(lo > 0) || hi < lo ||
            req.nominalMassKg < lo || req.nominalMassKg > hi) {
            say(tr("The mass range must read LO-HI and hold the nominal mass."), true);
            return;
        }
        req.massLoKg = lo;
        req.massHiKg = hi;
    }
    for (int n = 0; n < 3; ++n) {
        const StandardFields& f = fields_[n];
        if (f.file->text().trimmed().isEmpty()) continue;
        xmca::StandardFile sf;
        sf.nuclide = static_cast<xmca::nuclide::Nuclide>(n);
        sf.path = s8(f.file->text());
        sf.referenceDate = s8(f.date->text());
        double u = 0;
        if (!number(f.bq->text(), sf.certifiedBq) ||
            (!f.u->text().trimmed().isEmpty() && (!number(f.u->text(), u) || u < 0 || u >= 100))) {
            say(tr("Enter the %1 standard's certified Bq and its u in %.").arg(kNuclides[n]), true);
            return;
        }
        sf.relU = u / 100.0;
        req.standards.push_back(sf);
    }
    const xmca::FileCalibration cal = xmca::calibrateFromFiles(req);
    if (!cal.method) {
        say(xmca::ui::statusText(q(cal.error)), true);
        return;
    }
    struct Recorded {
        xmca::method::Method method;
        std::string error;
        bool ok = false;
    };
    say(tr("Recording the method in the register..."), false);
    const std::string installation = xmca::installationName(lab_.settings());
    lab_.request<Recorded>(
        this,
        [m = *cal.method, installation](RegisterAccess& a) {
            Recorded r;
            r.method = m;
            if (!a.reg()) r.error = a.error();
            else r.ok = xmca::recordMethod(*a.reg(), r.method, installation, r.error);
            return r;
        },
        [this](Recorded r) {
            if (!r.ok) {
                say(tr("The method was not recorded: %1").arg(q(r.error)), true);
                return;
            }
            reload();
            say(tr("Recorded %1 version %2.").arg(q(r.method.name)).arg(r.method.version) +
                    (r.method.cs134Assumed ? " " + tr("Cs-134 response assumed (no Cs-134 standard).") : QString()),
                false);
        });
}

void MethodDialog::setDefault() {
    const int row = methods_->currentRow();
    if (row < 0 || row >= static_cast<int>(list_.size())) {
        say(tr("Choose a method first."), true);
        return;
    }
    const std::string name = list_[static_cast<std::size_t>(row)].name;
    if (!lab_.updateSettings([&](xmca::LabSettings& s) { s.defaultMethod = name; }))
        say(tr("The settings could not be saved."), true);
    showInForce();
}

void MethodDialog::useFactory() {
    if (!lab_.updateSettings([](xmca::LabSettings& s) { s.defaultMethod.clear(); }))
        say(tr("The settings could not be saved."), true);
    showInForce();
}
