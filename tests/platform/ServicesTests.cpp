#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Random.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace zandrel {
namespace {

TEST(NotificationCenter, matchesByNameAndSenderAndDeliversUserInfo)
{
    NotificationCenter center;
    int docA = 0;
    int docB = 0;
    int view = 0;
    QStringList seen;
    center.addObserver(&view, QStringLiteral("updateDocumentViews"), &docA, [&](const Notification& n) {
        seen << QStringLiteral("A:") + n.userInfo.value("dirtyRect").toDebugString();
    });
    center.addObserver(
        &view, QString(), &docB, [&](const Notification& n) { seen << QStringLiteral("B:") + n.name; });
    center.addObserver(&view, QStringLiteral("documentClosing"), nullptr,
        [&](const Notification& n) { seen << QStringLiteral("any:") + (n.object == &docA ? "a" : "b"); });

    center.post(QStringLiteral("updateDocumentViews"), &docA, { { "dirtyRect", QRectF(0, 0, 1, 1) } });
    center.post(QStringLiteral("updateDocumentViews"), &docB);
    center.post(QStringLiteral("documentClosing"), &docA);
    center.post(QStringLiteral("unrelated"), &view);
    EXPECT_EQ(seen, (QStringList { "A:{{0, 0}, {1, 1}}", "B:updateDocumentViews", "any:a" }));

    seen.clear();
    center.removeObserver(&view, QStringLiteral("documentClosing"), nullptr);
    center.post(QStringLiteral("documentClosing"), &docB);
    EXPECT_EQ(seen, (QStringList { "B:documentClosing" }));
    center.removeObserver(&view);
    center.post(QStringLiteral("documentClosing"), &docB);
    EXPECT_EQ(seen.size(), 1);
}

TEST(NotificationCenter, removalAndRegistrationDuringDispatchAreSafe)
{
    NotificationCenter center;
    int first = 0;
    int second = 0;
    int late = 0;
    QStringList calls;
    NotificationToken secondToken = 0;
    center.addObserver(&first, QStringLiteral("n"), nullptr, [&](const Notification&) {
        calls << "first";
        center.removeObserverToken(secondToken); // a later observer of the same post
        center.removeObserver(&first); // itself, while it runs
        center.addObserver(
            &late, QStringLiteral("n"), nullptr, [&](const Notification&) { calls << "late"; });
    });
    secondToken = center.addObserver(
        &second, QStringLiteral("n"), nullptr, [&](const Notification&) { calls << "second"; });
    bool nested = false;
    center.addObserver(&second, QStringLiteral("n"), nullptr, [&](const Notification&) {
        calls << "third";
        if (!std::exchange(nested, true))
            center.post(QStringLiteral("n"), nullptr); // nested post: sees the current observers
    });

    center.post(QStringLiteral("n"), nullptr);
    // Observers added during a post are not called by it; the nested post reaches them.
    EXPECT_EQ(calls, (QStringList { "first", "third", "third", "late" }));
}

TEST(DeferredCalls, runFromTheEventLoopInOrderAndCoalesceByCancel)
{
    int target = 0;
    int other = 0;
    QStringList ran;
    DeferredCalls::perform(&target, QStringLiteral("propertyChanged"), 0, [&] { ran << "first"; });
    DeferredCalls::perform(&other, QStringLiteral("propertyChanged"), 0, [&] { ran << "other"; });
    // Coalescing: the pending call is replaced, and the replacement keeps the newest arguments.
    for (int i = 0; i < 3; ++i) {
        DeferredCalls::cancel(&target, QStringLiteral("propertyChanged"));
        DeferredCalls::perform(
            &target, QStringLiteral("propertyChanged"), 0, [&, i] { ran << QString::number(i); });
    }
    DeferredCalls::perform(&target, QStringLiteral("edit"), 0, [&] {
        ran << "edit";
        // A call may schedule another; it runs in a later pass.
        DeferredCalls::perform(&target, QStringLiteral("edit"), 0, [&] { ran << "edit again"; });
    });
    EXPECT_TRUE(ran.isEmpty());
    EXPECT_TRUE(DeferredCalls::isPending(&target, QStringLiteral("propertyChanged")));

    QElapsedTimer clock;
    clock.start();
    while (ran.size() < 4 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(ran, (QStringList { "other", "2", "edit", "edit again" }));
    EXPECT_FALSE(DeferredCalls::isPending(&target, QStringLiteral("propertyChanged")));
}

TEST(DeferredCalls, cancelAllDropsEveryCallOfTheTarget)
{
    int target = 0;
    int other = 0;
    QStringList ran;
    DeferredCalls::perform(&target, QStringLiteral("a"), 0, [&] { ran << "a"; });
    DeferredCalls::perform(&target, QStringLiteral("b"), 5, [&] { ran << "b"; });
    DeferredCalls::perform(&other, QStringLiteral("a"), 5, [&] { ran << "other"; });
    DeferredCalls::cancelAll(&target);
    QElapsedTimer clock;
    clock.start();
    while (ran.isEmpty() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ran, (QStringList { "other" }));

    // A call cancels others due in the same pass, a target dying with it, and replaces one.
    ran.clear();
    auto dying = std::make_unique<int>(0);
    DeferredCalls::perform(&target, QStringLiteral("a"), 0, [&] {
        ran << "a";
        DeferredCalls::cancelAll(dying.get());
        dying.reset();
        DeferredCalls::cancel(&other, QStringLiteral("b"));
        DeferredCalls::perform(&other, QStringLiteral("b"), 0, [&] { ran << "b again"; });
    });
    DeferredCalls::perform(
        dying.get(), QStringLiteral("a"), 0, [&] { ran << "dead " + QString::number(*dying); });
    DeferredCalls::perform(&other, QStringLiteral("b"), 0, [&] { ran << "b"; });
    clock.restart();
    while (ran.size() < 2 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ran, (QStringList { "a", "b again" }));
}

TEST(Log, captureCollectsLinesAndRestoresThePreviousSink)
{
    QStringList outer;
    Log::Sink previous = Log::setSink([&](const QString& line) { outer << line; });
    {
        Log::Capture capture;
        zdlLog(QStringLiteral("inside"));
        EXPECT_EQ(capture.lines(), QStringList { "inside" });
        capture.clear();
        EXPECT_TRUE(capture.lines().isEmpty());
    }
    zdlLog(QStringLiteral("after"));
    Log::setSink(previous);
    EXPECT_EQ(outer, QStringList { "after" });
}

TEST(Localization, englishUnlessATranslatorAnswers)
{
    EXPECT_EQ(localized("Delete object"), "Delete object");
    Translator previous = setTranslator([](const QString& english) {
        return english == QLatin1String("Group") ? QStringLiteral("Gruppe") : QString();
    });
    EXPECT_EQ(localized("Group"), "Gruppe");
    EXPECT_EQ(localized("Ungroup"), "Ungroup");
    setTranslator(previous);
    EXPECT_EQ(localized("Group"), "Group");
}

TEST(Random, sequenceIsDeterministicPerSeedAndInRange)
{
    auto draw = [](unsigned seed) {
        Random::seed(seed);
        std::vector<int> values;
        for (int i = 0; i < 1000; ++i)
            values.push_back(Random::next());
        return values;
    };
    const std::vector<int> a = draw(100);
    EXPECT_EQ(a, draw(100));
    EXPECT_NE(a, draw(101));
    EXPECT_NE(draw(0), draw(1));
    // The effects use the value modulo a million as a fraction: the low digits must be spread.
    std::vector<int> buckets(10, 0);
    for (int v : a) {
        ASSERT_GE(v, 0);
        ASSERT_LE(v, Random::kMax);
        ++buckets[(v % 1000000) / 100000];
    }
    for (int count : buckets)
        EXPECT_GT(count, 50);
}

TEST(Random, eachThreadHasItsOwnSequence)
{
    Random::seed(7);
    const int first = Random::next();
    Random::seed(7);
    int other = 0;
    // A seed on another thread neither moves nor resets this thread's sequence.
    std::thread([&] {
        Random::seed(7);
        other = Random::next();
        Random::seed(123);
        Random::next();
    }).join();
    EXPECT_EQ(other, first);
    EXPECT_EQ(Random::next(), first);
}

} // namespace
} // namespace zandrel
