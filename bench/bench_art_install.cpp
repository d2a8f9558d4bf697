// Installing an art product of 100, 500 and 1500 small parts files into an empty purchased catalog,
// as a download hands it over: the time per file ("s_per_file") should stay flat as products grow,
// the catalog's manifest being written once and not once a file, and the interface thread is never
// held for long: "longest_hold_ms" is the longest the event loop spent in one turn while the
// product installed (the files are read on it a slice at a time; unpacking and writing run on the
// installer's thread).
#include "../tests/support/ZipBuilder.h"
#include "BenchSupport.h"
#include "app/core/ArtProductInstaller.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

using namespace zandrel;

class BenchController : public ZDLAppController {
public:
    explicit BenchController(const QString& folder)
        : m_folder(folder)
    {
    }
    QString temporaryFolder() override { return m_folder; }

private:
    QString m_folder;
};

QByteArray product(int files)
{
    test::ZipBuilder zip;
    for (int i = 0; i < files; ++i) {
        auto model = std::make_shared<CharacterModel>();
        model->setCharacterName(QStringLiteral("Character %1").arg(i));
        model->setCreator(QStringLiteral("Bench"));
        zip.add(QStringLiteral("c%1.parts").arg(i), archivedPartsFile(*model)).deflated();
    }
    zip.add(QStringLiteral("pk-manifest.plist"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>productCode</key>"
        "<string>pk</string><key>productName</key><string>Pack</string><key>version</key><integer>1</integer>"
        "</dict></plist>");
    return zip.build();
}

void BM_InstallArtProduct(benchmark::State& state)
{
    const int files = int(state.range(0));
    registerStandardFileFormats();
    const QByteArray archive = product(files);
    qint64 longestHold = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        ZDLAppController* controller = ZDLAppController::install(
            std::make_unique<BenchController>(dir.filePath(QStringLiteral("cache"))));
        controller->setAppSupportFolder(dir.filePath(QStringLiteral("support")));
        controller->setBuiltInCatalogFolder(dir.filePath(QStringLiteral("none")));
        state.ResumeTiming();
        bool ended = false;
        controller->installDownloadedArtProduct(QUrl(QStringLiteral("https://store.example/pk-1.zip")),
            archive, [&](const ArtProductInstallResult& result, const QVariantMap&) {
                ended = true;
                if (result.installedFiles != files)
                    state.SkipWithError(qPrintable(result.error));
            });
        while (!ended) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            longestHold = std::max(longestHold, turn.elapsed());
            // The installer's thread works meanwhile; the interface would wait for events.
            QThread::usleep(200);
        }
        state.PauseTiming();
        ZDLAppController::install(std::make_unique<ZDLAppController>());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.counters["s_per_file"] = benchmark::Counter(
        files, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["longest_hold_ms"] = double(longestHold);
}
BENCHMARK(BM_InstallArtProduct)->Arg(100)->Arg(500)->Arg(1500)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
