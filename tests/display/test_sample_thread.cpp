// Samples fetched on a worker thread and handed to the user-interface thread.
#include "display/sample_thread.h"
#include "test_shell_fixture.h"

#include <QTest>
#include <gtest/gtest.h>

#include <atomic>

namespace tavrela {
namespace {

using testing::TestDisplay;

struct ThreadFixture {
    ThreadFixture() {
        d.SampleInSeparateThread = true;
        d.Animate = false;
        item = &d.AddPane(10.0, 2);
        d.OnSampleThreadFinished = [this](QObject* s, TGraphDisplayGraphItem* g) {
            EXPECT_EQ(s, &d.Self);
            finished.push_back(g);
        };
    }
    // Runs queued calls until no worker is current.
    bool settle() {
        return QTest::qWaitFor([this] { return d.SampleThread() == nullptr; }, 10000);
    }
    TestDisplay d;
    TGraphDisplayItem* item;
    std::vector<TGraphDisplayGraphItem*> finished;
};

TEST(SampleThread, DeliversTheHandlersSamples) {
    ThreadFixture f;
    TGraphDisplayGraphItem& curve = f.item->GraphItems[1];
    curve.Samples.SetLength(3); // cleared when the request starts
    f.d.OnNeedSamplesInThread = [&](QObject* s, TGraphDisplayGraphItem* g, TGraphData& samples) {
        EXPECT_EQ(s, &f.d.Self);
        EXPECT_EQ(g, &curve);
        EXPECT_TRUE(samples.empty());
        samples.SetLength(1000);
        for (std::size_t i = 0; i < samples.Length(); ++i) {
            samples[i].Value = static_cast<float>(i) / 1000.0f;
        }
    };
    f.d.StartSampleThread(0, 1);
    EXPECT_NE(f.d.SampleThread(), nullptr);
    ASSERT_TRUE(f.settle());
    ASSERT_EQ(curve.Samples.Length(), 1000u);
    EXPECT_FLOAT_EQ(curve.Samples[999].Value, 0.999f);
    EXPECT_EQ(f.d.Progress(), 100);
    EXPECT_DOUBLE_EQ(f.item->SelectionEnd, 1000.0);
    EXPECT_EQ(f.finished, std::vector<TGraphDisplayGraphItem*>{&curve});
}

TEST(SampleThread, WithoutAHandlerTheCurveStaysEmpty) {
    ThreadFixture f;
    TGraphDisplayGraphItem& curve = f.item->GraphItems[0];
    curve.Samples.SetLength(3);
    f.d.StartSampleThread(0, 0);
    ASSERT_TRUE(f.settle());
    EXPECT_TRUE(curve.Samples.empty());
    EXPECT_EQ(f.d.Progress(), 0);
    EXPECT_DOUBLE_EQ(f.item->SelectionEnd, 10.0);
    EXPECT_EQ(f.finished, std::vector<TGraphDisplayGraphItem*>{&curve});
}

TEST(SampleThread, ANewRequestStopsTheRunningOne) {
    ThreadFixture f;
    std::atomic<TSampleThread*> first{nullptr};
    std::atomic<bool> secondMayFinish{false};
    std::atomic<int> calls{0};
    f.d.OnNeedSamplesInThread = [&](QObject*, TGraphDisplayGraphItem*, TGraphData& samples) {
        if (calls++ == 0) {
            // the first request holds on until it is asked to stop
            while (first.load() == nullptr || !first.load()->TerminationRequested()) {
                std::this_thread::yield();
            }
            samples.SetLength(7);
        } else {
            while (!secondMayFinish.load()) {
                std::this_thread::yield();
            }
            samples.SetLength(5);
        }
    };
    f.d.StartSampleThread(0, 0);
    first = f.d.SampleThread();
    f.d.StartSampleThread(0, 1); // waits for the first to end
    TSampleThread* second = f.d.SampleThread();
    ASSERT_NE(second, first.load());

    // the first one's last message arrives while the second runs
    QTest::qWait(50);
    EXPECT_EQ(f.d.SampleThread(), second);
    EXPECT_TRUE(f.finished.empty()); // the first packet is never delivered

    secondMayFinish = true;
    ASSERT_TRUE(f.settle());
    EXPECT_TRUE(f.item->GraphItems[0].Samples.empty());
    EXPECT_EQ(f.item->GraphItems[1].Samples.Length(), 5u);
    EXPECT_EQ(f.finished, std::vector<TGraphDisplayGraphItem*>{&f.item->GraphItems[1]});
}

TEST(SampleThread, AnOlderThreadsEndLeavesTheCurrentOne) {
    ThreadFixture f;
    f.d.StartSampleThread(0, 0);
    ASSERT_TRUE(f.settle());
    f.d.StartSampleThread(0, 1);
    TSampleThread* current = f.d.SampleThread();
    f.d.SampleThreadFinished(current->Id - 1);
    EXPECT_EQ(f.d.SampleThread(), current);
    ASSERT_TRUE(f.settle());
}

TEST(SampleThread, ACurveRemovedMeanwhileIsLeftAlone) {
    ThreadFixture f;
    std::atomic<bool> go{false};
    f.d.OnNeedSamplesInThread = [&](QObject*, TGraphDisplayGraphItem*, TGraphData& samples) {
        while (!go.load()) {
            std::this_thread::yield();
        }
        samples.SetLength(4);
    };
    f.d.StartSampleThread(0, 0);
    f.d.Items().Clear();
    go = true;
    ASSERT_TRUE(f.settle());
    EXPECT_TRUE(f.finished.empty());
}

TEST(SampleThread, DestructionWaitsForTheWorker) {
    std::atomic<bool> handlerEnded{false};
    std::atomic<TSampleThread*> running{nullptr}; // outlives the display
    {
        ThreadFixture f;
        f.d.OnNeedSamplesInThread = [&](QObject*, TGraphDisplayGraphItem*, TGraphData&) {
            while (running.load() == nullptr || !running.load()->TerminationRequested()) {
                std::this_thread::yield();
            }
            handlerEnded = true;
        };
        f.d.StartSampleThread(0, 0);
        running = f.d.SampleThread();
    }
    EXPECT_TRUE(handlerEnded.load());
}

TEST(SampleThread, ProgressFromAnyThread) {
    TestDisplay d;
    std::thread t([&] { d.PostProgress(42); });
    t.join();
    EXPECT_EQ(d.Progress(), 0); // delivered on the user-interface thread
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.Progress() == 42; }, 10000));
}

TEST(SampleThread, GeometryBuildStartsTheWorkerInTheWidget) {
    TGraphDisplay3D d;
    d.SampleInSeparateThread = true;
    TGraphDisplayItem& item = d.Items().Add();
    item.GraphItems.Add();
    bool asked = false;
    d.OnNeedSamplesInThread = [&](QObject*, TGraphDisplayGraphItem*, TGraphData& samples) {
        asked = true;
        samples.SetLength(2);
    };
    d.InitializeGeometries(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.SampleThread() == nullptr; }, 10000));
    EXPECT_TRUE(asked);
    EXPECT_EQ(item.GraphItems[0].Samples.Length(), 2u);
}

} // namespace
} // namespace tavrela
