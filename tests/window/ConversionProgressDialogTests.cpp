#include <gtest/gtest.h>
#include "ui/ConversionProgressDialog.h"
#include "support/TestEnvironment.h"
#include <atomic>

using namespace testing_support;

namespace
{
    struct FakeJob : ConversionProgressWindow::Job
    {
        double getProgress() const override              { return progress.load(); }
        juce::String getStatusMessage() const override   { const juce::ScopedLock sl (lock); return status; }
        void stopPressed() override                      { ++stops; }

        void setStatus (const juce::String& s)           { const juce::ScopedLock sl (lock); status = s; }

        std::atomic<double> progress { -1.0 };
        std::atomic<int> stops { 0 };
        juce::CriticalSection lock;
        juce::String status { "Starting conversion..." };
    };

    juce::TextButton* findButton (juce::Component& parent, const juce::String& text)
    {
        for (auto* child : parent.getChildren())
            if (auto* b = dynamic_cast<juce::TextButton*> (child); b != nullptr && b->getButtonText() == text)
                return b;
        return nullptr;
    }

    juce::ProgressBar* findProgressBar (juce::Component& parent)
    {
        for (auto* child : parent.getChildren())
            if (auto* p = dynamic_cast<juce::ProgressBar*> (child))
                return p;
        return nullptr;
    }
}

TEST (ConversionProgressDialog, ShowsTheJobAndAsksItToStopOnce)
{
    FakeJob job;
    ConversionProgressDialog::install();
    auto window = ConversionProgressWindow::create ("Converting Data", "Stop!", job);
    ConversionProgressWindow::setFactory (nullptr);
    ASSERT_NE (window, nullptr);

    ASSERT_NE (dynamic_cast<ConversionProgressDialog*> (window.get()), nullptr);
    // The box is the modal window on the desktop.
    auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
    ASSERT_NE (alert, nullptr);
    EXPECT_EQ (alert->getName(), "Converting Data");
    EXPECT_TRUE (alert->isVisible());
    EXPECT_TRUE (alert->isOnDesktop());
    auto* bar = findProgressBar (*alert);
    ASSERT_NE (bar, nullptr);

    // The window follows the job: its message, and the bar's value as it reports it.
    job.progress = 0.5;
    job.setStatus ("Converting: Friday");
    auto barValue = [bar]
    {
        auto* handler = bar->getAccessibilityHandler();
        return handler != nullptr && handler->getValueInterface() != nullptr
                   ? handler->getValueInterface()->getCurrentValue() : -2.0;
    };
    EXPECT_TRUE (pumpUntil ([&] { return alert->getDescription() == "Converting Data. Converting: Friday"
                                         && barValue() == 0.5; }));

    // "Stop!" asks the job once and keeps the window in front until its owner closes it.
    auto* stop = findButton (*alert, "Stop!");
    ASSERT_NE (stop, nullptr);
    stop->triggerClick();
    ASSERT_TRUE (pumpUntil ([&] { return job.stops.load() == 1; }));
    EXPECT_TRUE (pumpUntil ([&] { return alert->isCurrentlyModal() && ! stop->isEnabled(); }));
    stop->triggerClick();
    pumpFor (400);
    EXPECT_EQ (job.stops.load(), 1);
    EXPECT_TRUE (alert->isCurrentlyModal());

    window.reset();
    pumpFor (100);
    EXPECT_EQ (juce::Component::getCurrentlyModalComponent(), nullptr);
}

TEST (ConversionProgressDialog, NoFactoryNoWindow)
{
    FakeJob job;
    ConversionProgressWindow::setFactory (nullptr);
    EXPECT_EQ (ConversionProgressWindow::create ("Converting Data", "Stop!", job), nullptr);
}
