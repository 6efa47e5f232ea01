#include "windowrig.h"

#include "app/settings.h"
#include "job/ripjob.h"
#include "job/ui/progresswindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace TestSupport {

void onNextModal(std::function<void(QWidget *)> handle)
{
    auto timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, handle] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            handle(modal);
        }
    });
    timer->start();
}

WindowRig::WindowRig(const QVariantMap &stored)
{
    auto storage = std::make_unique<MemorySettingsStorage>();
    storage->values = stored;
    settings = storage.get();
    w = std::make_unique<TfrmMain>(std::make_unique<SettingsStore>(std::move(storage)));
}

bool WindowRig::show(int drive)
{
    auto devices = child<QComboBox>(QStringLiteral("cmbDevice"));
    devices->setCurrentIndex(drive < 0 ? devices->count() + drive : drive);
    w->show();
    return QTest::qWaitForWindowExposed(w.get());
}

void WindowRig::prepareRip(const QString &folder, int format, int templ, bool overlap)
{
    // Shown only, not stored.
    child<QCheckBox>(QStringLiteral("chkEncodeWhileReading"))->setChecked(overlap);
    child<QLineEdit>(QStringLiteral("edtDestFolder"))->setText(folder);
    child<QComboBox>(QStringLiteral("cmbRename"))->setCurrentIndex(templ);
    child<QComboBox>(QStringLiteral("cmbOutformat"))->setCurrentIndex(format);
    job()->EjectDisc = [](int) {};
}

QStringList WindowRig::memo() const
{
    const TfrmProgress *progress = w->progressWindow();
    return progress ? TestSupport::child<QPlainTextEdit>(progress, QStringLiteral("MemoInfo"))
                          ->toPlainText()
                          .split(u'\n')
                    : QStringList();
}

QStringList WindowRig::ripAll(int ms)
{
    child<QPushButton>(QStringLiteral("btnRip"))->click();
    const bool over = QTest::qWaitFor(
        [this] {
            const QStringList lines = memo();
            return !job()->Running()
                   || (!lines.isEmpty() && lines.constLast().startsWith(QLatin1String("Error: ")));
        },
        ms);
    if (!over)
        qWarning("the rip neither ended nor stalled");
    return memo();
}

bool WindowRig::waitEnded(int ms) const
{
    return QTest::qWaitFor([this] { return !job()->Running(); }, ms);
}

} // namespace TestSupport
