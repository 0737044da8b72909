#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The application's visual theme: the palette mapped onto the framework's
// colour ids, one sans-serif typeface, fonts and metrics scaled by the user's
// UI scale, and a flat grey-blue drawing of the framework's widgets.
//
// The UI scale is read once, at construction; a changed scale applies to look
// and feels made afterwards.
//
// The theme, fonts and metrics are in LSLookAndFeel.cpp; the drawing is in
// LSLookAndFeelControls.cpp (buttons, tick boxes, scroll bars, sliders, progress bars),
// LSLookAndFeelWindows.cpp (title bars, alert boxes, menus, tooltips) and
// LSLookAndFeelPanels.cpp (tabs, groups, table headers, toolbars, panel headers).
class LSLookAndFeel : public juce::LookAndFeel_V3
{
public:
    // The application's own colour ids, read by the tab drawing.
    enum ColourIds
    {
        frontTabTopColourId    = 0x5205001,
        frontTabBottomColourId = 0x5205002,
        tabTopColourId         = 0x5205003,
        tabBottomColourId      = 0x5205004
    };

    LSLookAndFeel();
    ~LSLookAndFeel() override;

    //==============================================================================
    // Scaled fonts and metrics.
    virtual void setFontHeights (float a, float b, float c);
    virtual float getFontHeightA() const   { return fontHeightA; }   // normal text, 14 x scale
    virtual float getFontHeightB() const   { return fontHeightB; }   // large text, 16 x scale
    virtual float getFontHeightC() const   { return fontHeightC; }   // small text, 13 x scale
    virtual float getScale() const         { return scale; }
    virtual double getRowHeight() const;
    virtual double getLargeRowHeight() const;
    virtual double getButtonHeight() const;
    // Gives a window a title bar that grows with the scale; at exactly 1.0 the
    // framework's height stays.
    virtual void applyTitleBarHeight (juce::DocumentWindow& window);
    virtual int getScaledMargin() const;

    // "Verdana" when installed, else "DejaVu Sans" when installed, else empty
    // (the framework then picks an installed sans-serif face), so that text is
    // never drawn with a face that is missing.
    static juce::String chooseSansSerifTypefaceName (const juce::StringArray& installedNames);
    const juce::String& getSansSerifTypefaceName() const { return sansSerifName; }

    //==============================================================================
    // Fonts and metrics of the framework's widgets.
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    int getTextButtonWidthToFitText (juce::TextButton&, int buttonHeight) override;
    int getAlertWindowButtonHeight() override;
    juce::Font getAlertWindowMessageFont() override;
    juce::Font getAlertWindowFont() override;
    juce::Font getPopupMenuFont() override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;
    int getTabButtonOverlap (int tabDepth) override;
    int getTabButtonBestWidth (juce::TabBarButton&, int tabDepth) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;
    int getSliderThumbRadius (juce::Slider&) override;
    juce::Rectangle<int> getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                           juce::Rectangle<int> parentArea) override;
    // The tooltip's size for a text: its layout at height C, at most 400 wide, plus a margin.
    void getTooltipSize (const juce::String& text, int& width, int& height);

    //==============================================================================
    // Drawing.
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool isMouseOver, bool isButtonDown) override;
    void drawTickBox (juce::Graphics&, juce::Component&, float x, float y, float w, float h,
                      bool ticked, bool isEnabled, bool isMouseOver, bool isButtonDown) override;
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&, bool isMouseOver, bool isButtonDown) override;
    void drawAlertBox (juce::Graphics&, juce::AlertWindow&, const juce::Rectangle<int>& textArea,
                       juce::TextLayout&) override;
    void drawPopupMenuSectionHeader (juce::Graphics&, const juce::Rectangle<int>& area,
                                     const juce::String& sectionName) override;
    // Every menu, a combo box's list included, has the windows below it repainted once it
    // has gone, so that none keeps the menu's picture.
    void preparePopupMenuWindow (juce::Component& menuWindow) override;
    void drawScrollbar (juce::Graphics&, juce::ScrollBar&, int x, int y, int width, int height,
                        bool isScrollbarVertical, int thumbStartPosition, int thumbSize,
                        bool isMouseOver, bool isMouseDown) override;
    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height,
                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                     juce::Slider::SliderStyle, juce::Slider&) override;
    void drawLinearSliderThumb (juce::Graphics&, int x, int y, int width, int height,
                                float sliderPos, float minSliderPos, float maxSliderPos,
                                juce::Slider::SliderStyle, juce::Slider&) override;
    void drawCornerResizer (juce::Graphics&, int w, int h, bool isMouseOver, bool isMouseDragging) override;
    void drawDocumentWindowTitleBar (juce::DocumentWindow&, juce::Graphics&, int w, int h,
                                     int titleSpaceX, int titleSpaceW,
                                     const juce::Image* icon, bool drawTitleTextOnLeft) override;
    juce::Button* createDocumentWindowButton (int buttonType) override;
    void drawTooltip (juce::Graphics&, const juce::String& text, int width, int height) override;
    void drawTabButton (juce::TabBarButton&, juce::Graphics&, bool isMouseOver, bool isMouseDown) override;
    void drawTabButtonText (juce::TabBarButton&, juce::Graphics&, bool isMouseOver, bool isMouseDown) override;
    void drawTabbedButtonBarBackground (juce::TabbedButtonBar&, juce::Graphics&) override;
    void drawTabAreaBehindFrontButton (juce::TabbedButtonBar&, juce::Graphics&, int w, int h) override;
    void drawGroupComponentOutline (juce::Graphics&, int width, int height, const juce::String& text,
                                    const juce::Justification& position, juce::GroupComponent&) override;
    void drawTableHeaderBackground (juce::Graphics&, juce::TableHeaderComponent&) override;
    void drawTableHeaderColumn (juce::Graphics&, juce::TableHeaderComponent&, const juce::String& columnName,
                                int columnId, int width, int height, bool isMouseOver, bool isMouseDown,
                                int columnFlags) override;
    void paintToolbarBackground (juce::Graphics&, int width, int height, juce::Toolbar&) override;
    void paintToolbarButtonBackground (juce::Graphics&, int width, int height, bool isMouseOver,
                                       bool isMouseDown, juce::ToolbarItemComponent&) override;
    void paintToolbarButtonLabel (juce::Graphics&, int x, int y, int width, int height,
                                  const juce::String& text, juce::ToolbarItemComponent&) override;
    void drawConcertinaPanelHeader (juce::Graphics&, const juce::Rectangle<int>& area, bool isMouseOver,
                                    bool isMouseDown, juce::ConcertinaPanel&, juce::Component& panel) override;
    void drawProgressBar (juce::Graphics&, juce::ProgressBar&, int width, int height,
                          double progress, const juce::String& textToShow) override;
    void drawStretchableLayoutResizerBar (juce::Graphics&, int w, int h, bool isVerticalBar,
                                          bool isMouseOver, bool isMouseDragging) override;

    //==============================================================================
    // Helpers, also used by components that draw themselves.
    void drawButtonShape (juce::Graphics&, const juce::Path& outline, juce::Colour base, float height);
    void drawRadioButton (juce::Graphics&, float x, float y, float w, float h,
                          bool isOn, bool isEnabled, bool isMouseOver, bool isButtonDown);
    // A panel header: a grey-blue gradient, hairlines and the title (none when 6 or less wide).
    void drawPanelHeader (juce::Graphics&, const juce::Rectangle<int>& area, const juce::String& title,
                          bool isMouseOver, bool isFirstPanel);
    // Renders the drawable centred into a new image of its size, puts that image on
    // the target and gives the target the overlay colour. Nothing happens for null.
    static void renderToDrawableImage (juce::DrawableImage& target, const juce::Drawable* drawable,
                                       juce::Colour overlay);

    // The alert-box icons and the tick (never null once constructed).
    const juce::Drawable* getQuestionIcon() const    { return questionIcon.get(); }
    const juce::Drawable* getWarningIcon() const     { return warningIcon.get(); }
    const juce::Drawable* getInformationIcon() const { return infoIcon.get(); }
    const juce::Drawable* getTickDrawable() const    { return tick.get(); }

    // An embedded SVG drawing by resource name, or null when there is none.
    static std::unique_ptr<juce::Drawable> createEmbeddedDrawable (const juce::String& resourceName);
    // An embedded bitmap by resource name through the image cache (invalid when there is none).
    static juce::Image getEmbeddedImage (const juce::String& resourceName);

protected:
    // The title-bar gradient and layout shared with the main window's frame.
    void drawTitleBar (juce::DocumentWindow&, juce::Graphics&, int w, int h, int titleSpaceX, int titleSpaceW,
                       const juce::Image* icon, bool drawTitleTextOnLeft, juce::Colour bottomColour,
                       const juce::Font& font, const juce::Drawable* wordmark);

private:
    float fontHeightA = 14.0f;
    float fontHeightB = 16.0f;
    float fontHeightC = 13.0f;
    float scale = 1.0f;
    std::unique_ptr<juce::Drawable> questionIcon, warningIcon, infoIcon, tick, resizeGrip;
    juce::String sansSerifName;

    JUCE_DECLARE_NON_COPYABLE (LSLookAndFeel)
};
