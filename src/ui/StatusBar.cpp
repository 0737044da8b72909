#include "ui/StatusBar.h"
#include "content/ContentManager.h"
#include "core/AppHost.h"
#include "core/InfoCodes.h"
#include "device/DeviceManager.h"
#include "model/VersionNumber.h"
#include "ui/LSLookAndFeel.h"

namespace
{
    std::unique_ptr<juce::Drawable> drawable (const char* name)
    {
        if (auto d = LSLookAndFeel::createEmbeddedDrawable (name))
            return d;
        return std::make_unique<juce::DrawableComposite>();   // never null, even without the artwork
    }

    void styleLabel (juce::Label& label, juce::Justification justification)
    {
        label.setJustificationType (justification);
        label.setColour (juce::Label::textColourId, juce::Colour (StatusBar::textArgb));
        label.setColour (juce::Label::backgroundColourId, juce::Colour (StatusBar::backgroundArgb));
        label.setColour (juce::Label::outlineColourId, juce::Colours::transparentBlack);
        label.setBorderSize (juce::BorderSize<int> (0));
        label.setMinimumHorizontalScale (1.0f);
        label.setInterceptsMouseClicks (false, false);
    }

    int textWidth (const juce::Label& label)
    {
        return juce::roundToInt (label.getFont().getStringWidthFloat (label.getText())) + 1;
    }
}

StatusBar::StatusBar()
    : connectedIcon (drawable ("status_connected_svg")),
      notConnectedIcon (drawable ("status_not_connected_svg")),
      midiIdle (drawable ("traffic_midi_idle_svg")),
      midiOutActive (drawable ("traffic_midi_out_active_svg")),
      midiInActive (drawable ("traffic_midi_in_active_svg")),
      midiThird (drawable ("traffic_midi_third_svg")),
      webAIdle (drawable ("traffic_web_idle_svg")),
      webAActive (drawable ("traffic_web_active_svg")),
      webAThird (drawable ("traffic_web_third_svg")),
      webBIdle (drawable ("traffic_web_idle_svg")),
      webBActive (drawable ("traffic_web_active_svg")),
      webBThird (drawable ("traffic_web_third_svg")),
      webBackground (drawable ("traffic_web_background_svg")),
      webBackgroundOffline (drawable ("traffic_web_background_offline_svg"))
{
    setOpaque (true);

    indicators[midiOut] = { 0, 0, 0, {}, midiIdle.get(), midiOutActive.get(), midiThird.get(), midiIdle.get() };
    indicators[midiIn]  = { 0, 0, 0, {}, midiIdle.get(), midiInActive.get(), midiThird.get(), midiIdle.get() };
    indicators[webA]    = { 0, 0, 0, {}, webAIdle.get(), webAActive.get(), webAThird.get(), webAIdle.get() };
    indicators[webB]    = { 0, 0, 0, {}, webBIdle.get(), webBActive.get(), webBThird.get(), webBIdle.get() };

    showChild (shownConnectionIcon, notConnectedIcon.get());
    auto* content = getContentManager();
    showChild (shownWebBackground, content == nullptr || content->isOnline() ? webBackground.get()
                                                                             : webBackgroundOffline.get());

    styleLabel (deviceLabel, juce::Justification::centredLeft);
    styleLabel (firmwareLabel, juce::Justification::bottomLeft);
    styleLabel (titleLabel, juce::Justification::bottomLeft);
    deviceLabel.setText ("Initializing", juce::dontSendNotification);
    addAndMakeVisible (deviceLabel);
    addAndMakeVisible (firmwareLabel);
    addChildComponent (titleLabel);

    progressBar.setPercentageDisplay (false);
    addChildComponent (progressBar);
    setMessage ({}, false);
}

StatusBar::~StatusBar()
{
    stopTimer();
}

//==============================================================================
void StatusBar::setStatus (bool busy, const juce::String& title, const juce::String& text, double progress)
{
    if (busy)
    {
        setMessage (text, false);
        progressValue = progress;
        titleLabel.setText (title, juce::dontSendNotification);
        resized();
        titleLabel.setVisible (title.isNotEmpty());
        progressBar.setVisible (true);
        resized();
    }
    else
    {
        titleLabel.setVisible (false);
        progressBar.setVisible (false);
        resized();
    }
}

void StatusBar::setMessage (const juce::String& text, bool error)
{
    messageError = error;
    message = text;
    progressBar.setColour (juce::ProgressBar::backgroundColourId,
                           juce::Colour (error ? errorBackgroundArgb : normalBackgroundArgb));
    progressBar.setColour (juce::ProgressBar::foregroundColourId,
                           juce::Colour (error ? errorBarArgb : normalBarArgb));
    // Shown instead of a percentage; a single blank keeps the bar from showing one when empty.
    progressBar.setTextToDisplay (text.isEmpty() ? juce::String (" ") : text);
    progressBar.repaint();
}

void StatusBar::step()
{
    ++stepsDone;
    progressValue = stepTotal != 0 ? (double) stepsDone / (double) stepTotal : 1.0;

    if (stepsDone >= stepTotal)
        setStatus (false, {}, {}, 0.0);
}

//==============================================================================
void StatusBar::readCounts (bool zeros)
{
    juce::uint64 sent = 0, received = 0, transfer = 0, fetched = 0;

    if (! zeros)
    {
        if (auto* devices = getDeviceManager())
            devices->getMidiByteCounts (sent, received);
        if (auto* content = getContentManager())
        {
            transfer = content->getTransferCounter().load();
            fetched = content->getBytesFetched().load();
        }
    }

    // The low 32 bits: a counter that wraps still reads as growing at the next tick but one.
    indicators[midiOut].currentCount = (juce::uint32) sent;
    indicators[midiIn].currentCount  = (juce::uint32) received;
    indicators[webA].currentCount    = (juce::uint32) transfer;
    indicators[webB].currentCount    = (juce::uint32) fetched;
}

void StatusBar::resetIndicators()
{
    resetIndicators (juce::Time::currentTimeMillis());
}

void StatusBar::resetIndicators (juce::int64 now)
{
    readCounts (appState() == 1);

    for (auto& indicator : indicators)
    {
        indicator.lastCount = indicator.currentCount;
        indicator.activeUntil = now;
    }
}

void StatusBar::timerCallback()
{
    updateIndicators (juce::Time::currentTimeMillis());
}

void StatusBar::updateIndicators (juce::int64 now)
{
    readCounts (false);

    for (auto& indicator : indicators)
    {
        if (indicator.currentCount > indicator.lastCount)
        {
            indicator.lastCount = indicator.currentCount;
            indicator.activeUntil = now + 98;
        }
    }

    for (auto& indicator : indicators)
    {
        if (now <= indicator.activeUntil && indicator.shownImage == indicator.idleImage)
        {
            indicator.shownImage = indicator.activeImage;
            repaint (indicator.bounds.getSmallestIntegerContainer());
        }
        else if (now > indicator.activeUntil && indicator.shownImage == indicator.activeImage)
        {
            indicator.shownImage = indicator.idleImage;
            repaint (indicator.bounds.getSmallestIntegerContainer());
        }
    }
}

//==============================================================================
void StatusBar::changeInfoCallback (const ChangeInfo& info)
{
    if (info.kind != ChangeInfo::deviceEvent)
        return;

    const auto code = info.event.code;
    if (code != InfoCode::unitConnection && code != InfoCode::scanFinished
        && code != InfoCode::connectedUnitLost && code != InfoCode::portListsChanged)
        return;

    const bool connected = isUnitConnected() && ! (code == InfoCode::unitConnection && info.event.p1 == 0);
    showConnection (connected);
}

void StatusBar::showConnection (bool connected)
{
    auto* devices = getDeviceManager();

    if (connected && devices != nullptr)
    {
        showChild (shownConnectionIcon, connectedIcon.get());
        deviceLabel.setText (devices->getDeviceDisplayName(), juce::dontSendNotification);
        firmwareLabel.setText (getVersionText (devices->getFirmwareVersion()), juce::dontSendNotification);
    }
    else
    {
        connected = false;
        showChild (shownConnectionIcon, notConnectedIcon.get());
        deviceLabel.setText ("Nothing Connected", juce::dontSendNotification);
        firmwareLabel.setText ({}, juce::dontSendNotification);
    }

    firmwareLabel.setVisible (connected);
    resized();
    repaint();
}

void StatusBar::showChild (juce::Drawable*& shown, juce::Drawable* wanted)
{
    if (shown == wanted)
        return;
    if (shown != nullptr)
        removeChildComponent (shown);
    shown = wanted;
    if (shown != nullptr)
    {
        shown->setInterceptsMouseClicks (false, false);
        addAndMakeVisible (shown);
    }
}

//==============================================================================
void StatusBar::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (backgroundArgb));
}

// The indicators lie over the web background, which is a child.
void StatusBar::paintOverChildren (juce::Graphics& g)
{
    auto* content = getContentManager();
    const int shown = content != nullptr && content->isOnline() ? 4 : 2;
    for (int i = 0; i < shown; ++i)
    {
        const auto& indicator = indicators[(size_t) i];
        if (indicator.shownImage != nullptr)
            indicator.shownImage->drawWithin (g, indicator.bounds, juce::RectanglePlacement::centred, 1.0f);
    }

    g.setColour (juce::Colour (textArgb));
    for (auto x : separators)
        g.drawVerticalLine (x, 4.0f, (float) getHeight() - 4.0f);
}

void StatusBar::enablementChanged()
{
    resized();
}

void StatusBar::resized()
{
    auto* laf = dynamic_cast<LSLookAndFeel*> (&getLookAndFeel());
    const float fontA = laf != nullptr ? laf->getFontHeightA() : 14.0f;
    const float s = laf != nullptr ? laf->getScale() : 1.0f;
    const int m = laf != nullptr ? juce::roundToInt (s * 10.0f) : 10;
    const float iconAlpha = isEnabled() ? 1.0f : 0.5f;

    deviceLabel.setFont (juce::Font (fontA));
    firmwareLabel.setFont (juce::Font (fontA * 0.8f));
    titleLabel.setFont (juce::Font (fontA * 0.8f));

    const int h = getHeight();
    const int w = getWidth();
    const int d = juce::roundToInt (h * 0.55);
    const int mid = h / 2;
    int limit = w - 2 * (d + 2 * m) - juce::roundToInt (25.0f * s);
    if (auto* window = findParentComponentOfClass<juce::DocumentWindow>())
        if (! window->isUsingNativeTitleBar())
            limit -= 15;
    separators.clearQuick();

    if (shownConnectionIcon != nullptr)
    {
        shownConnectionIcon->setTransformToFit ({ (float) m, ((float) h - fontA) * 0.5f, fontA, fontA },
                                                juce::RectanglePlacement::centred);
        shownConnectionIcon->setAlpha (iconAlpha);
    }
    int x = m + juce::roundToInt (fontA + 5.0f * s);

    deviceLabel.setBounds (x, 0, textWidth (deviceLabel), h);
    x = deviceLabel.getRight() + juce::roundToInt (3.0f * s);

    const int lineHeight = (int) deviceLabel.getFont().getHeight();
    firmwareLabel.setBounds (x, mid - lineHeight / 2, textWidth (firmwareLabel), lineHeight);
    separators.add (firmwareLabel.getRight() + m);
    x = separators.getLast() + m;

    if (titleLabel.isVisible())
    {
        titleLabel.setBounds (x, firmwareLabel.getY(), textWidth (titleLabel), firmwareLabel.getHeight());
        x = titleLabel.getRight() + juce::roundToInt (7.0f * s);
    }

    if (progressBar.isVisible())
        progressBar.setBounds (x, 6, limit - x - m, h - 13);

    separators.add (limit);
    const int k = juce::roundToInt (7.0f * s);
    indicators[midiOut].bounds = juce::Rectangle<int> (limit + k, mid - d / 2, d, d).toFloat();
    indicators[midiIn].bounds = juce::Rectangle<int> ((int) indicators[midiOut].bounds.getRight() + k,
                                                      mid - d / 2, d, d).toFloat();
    separators.add ((int) indicators[midiIn].bounds.getRight() + k);

    x = separators.getLast() + k;
    const int webWidth = juce::roundToInt (h * 0.93);
    const int half = (d - 1) / 2;
    indicators[webA].bounds = juce::Rectangle<int> (x, mid - half, webWidth, half).toFloat();
    indicators[webB].bounds = juce::Rectangle<int> (x, mid + 1, webWidth, half).toFloat();

    if (shownWebBackground != nullptr)
    {
        shownWebBackground->setTransformToFit (juce::Rectangle<int> (x, mid - half, webWidth, d).toFloat(),
                                               juce::RectanglePlacement::centred);
        shownWebBackground->setAlpha (iconAlpha);
    }
    repaint();
}
