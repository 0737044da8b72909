#include "ui/dialogs/DialogMetrics.h"
#include "ui/LSLookAndFeel.h"

DialogMetrics DialogMetrics::of (juce::LookAndFeel& lookAndFeel)
{
    DialogMetrics m;
    if (auto* ls = dynamic_cast<LSLookAndFeel*> (&lookAndFeel))
    {
        m.fontHeight = ls->getFontHeightA();
        m.scale = ls->getScale();
        m.margin = ls->getScaledMargin();
    }
    return m;
}

int DialogMetrics::buttonWidth (std::initializer_list<juce::TextButton*> buttons, int height, int minimum)
{
    int width = minimum;
    for (auto* b : buttons)
        width = juce::jmax (width, b->getLookAndFeel().getTextButtonWidthToFitText (*b, height));
    return width;
}

void DialogMetrics::centre (juce::DialogWindow& window, juce::Component* parent)
{
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return;
    window.centreAroundComponent (parent, window.getWidth(), window.getHeight());
}
