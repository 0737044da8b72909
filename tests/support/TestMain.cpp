#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <clocale>

// One framework initialisation for the whole test process; the calling thread
// becomes the message thread.
int main (int argc, char** argv)
{
    std::setlocale (LC_ALL, "C");
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
