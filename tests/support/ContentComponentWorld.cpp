#include "support/ContentComponentWorld.h"
#include <gtest/gtest.h>
#include "content/ContentManager.h"
#include "content/EventTracker.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "ui/CommandManager.h"

namespace testing_support
{
    void bringLatePictures (juce::uint8 productId, juce::Colour colour)
    {
        auto* content = getContentManager();
        ASSERT_NE (content, nullptr);
        content->loadStoredContent (productId);   // the product's list of pictures, as once prepared
        juce::Image picture (juce::Image::ARGB, 120, 80, false);
        picture.clear (picture.getBounds(), colour);
        int written = 0;
        for (;; ++written)
        {
            const auto path = content->getContentFile (productId, ContentType::variantIcon, written, true);
            if (path.isEmpty())
                break;
            juce::MemoryOutputStream png;
            ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (picture, png));
            ASSERT_TRUE (juce::File (path).replaceWithData (png.getData(), png.getDataSize()));
        }
        ASSERT_GT (written, 0);
        content->loadStoredContent (productId);
    }

    void ChangeRecorder::changeInfoCallback (const ChangeInfo& info)
    {
        SeenChange c;
        c.kind = info.kind;
        c.newValue = info.newValue;
        c.oldValue = info.oldValue;
        c.commandId = info.commandId;
        c.code = info.event.code;
        c.p1 = info.event.p1;
        c.p2 = info.event.p2;
        c.text = info.event.text;
        c.commandCode = info.event.command.code;
        c.slots = info.event.command.presetIndices;
        seen.push_back (c);
        if (onChange)
            onChange (info);
    }

    std::vector<SeenChange> ChangeRecorder::ofKind (int kind) const
    {
        std::vector<SeenChange> out;
        for (auto& c : seen)
            if (c.kind == kind)
                out.push_back (c);
        return out;
    }

    std::vector<SeenChange> ChangeRecorder::events (int code) const
    {
        std::vector<SeenChange> out;
        for (auto& c : seen)
            if (c.kind == ChangeInfo::deviceEvent && c.code == code)
                out.push_back (c);
        return out;
    }

    std::vector<int> ChangeRecorder::states() const
    {
        std::vector<int> out;
        for (auto& c : ofKind (ChangeInfo::applicationStateChange))
            out.push_back (c.newValue);
        return out;
    }

    bool RecordingContentDialogs::runFirmwareChooser (juce::Component&, juce::uint8 productId, bool allowCustom,
                                                      FirmwareUpdateElement& chosen)
    {
        calls.add ("firmware chooser");
        chooserCalls.push_back ({ (int) productId, allowCustom });
        if (chooseUpdate)
            chosen = updateToChoose;
        return chooseUpdate;
    }

    std::unique_ptr<DevicePageView> RecordingParts::createDevicePage (LarkspireContentComponent&)
    {
        if (! withDevicePage)
            return {};
        auto page = std::make_unique<RecordingDevicePage>();
        devicePage = page.get();
        return page;
    }

    std::unique_ptr<DataPageView> RecordingParts::createDataPage (LarkspireContentComponent&)
    {
        if (! withDataPage)
            return {};
        if (makeDataPage)
            return makeDataPage();
        auto page = std::make_unique<RecordingDataPage>();
        dataPage = page.get();
        return page;
    }

    std::unique_ptr<ContentDialogs> RecordingParts::createDialogs (LarkspireContentComponent&)
    {
        if (! withDialogs)
            return {};
        if (makeDialogs)
            return makeDialogs();
        auto d = std::make_unique<RecordingContentDialogs>();
        dialogs = d.get();
        return d;
    }

    namespace
    {
        // A recording view that clears the parts' pointer to it when its update deletes it.
        struct PartsProgressView : public RecordingProgressView
        {
            explicit PartsProgressView (RecordingProgressView*& s) : slot (s) {}
            ~PartsProgressView() override
            {
                if (slot == this)
                    slot = nullptr;
            }

            RecordingProgressView*& slot;
        };
    }

    std::unique_ptr<FirmwareUpdateProgressView> RecordingParts::createUpdateProgressView (juce::MessageListener& owner)
    {
        progressOwner = &owner;
        if (noProgressView)
            return {};
        auto view = std::make_unique<PartsProgressView> (progressView);
        progressView = view.get();
        return view;
    }

    //==============================================================================
    ContentComponentWorld::Settings::Settings()  { configureApplicationProperties(); }
    ContentComponentWorld::Settings::~Settings() { deleteApplicationProperties(); }

    ContentComponentWorld::ContentComponentWorld (std::function<void (RecordingParts&)> configure)
    {
        if (configure)
            configure (parts);

        content = std::make_unique<LarkspireContentComponent> (parts);
        content->setSize (1020, 700);
        content->addChangeListener (&changes);

        setDeviceManager (new DeviceManager (content.get(), devices.ports));
        getDeviceManager()->startThread();
    }

    ContentComponentWorld::~ContentComponentWorld()
    {
        if (tracking)
            setEventTracker (nullptr);
        // The device threads post to the component: they go first.
        setDeviceManager (nullptr);
        pumpFor (20);
        content.reset();
        setCommandManager (nullptr);
    }

    bool ContentComponentWorld::waitForEvents (int code, int count, int timeoutMs)
    {
        return pumpUntil ([&] { return changes.countEvents (code) >= count; }, timeoutMs);
    }

    bool ContentComponentWorld::scan (int timeoutMs)
    {
        const int before = changes.countEvents (InfoCode::scanFinished);
        if (! content->invokeDirectly (0x36000, false))
            return false;
        // The component acts on the result after the broadcast: one more turn of the loop
        // and the handler has run (the handler is called on the message thread in one go).
        return waitForEvents (InfoCode::scanFinished, before + 1, timeoutMs);
    }

    void ContentComponentWorld::installFirmware (juce::uint8 productId, const juce::String& productName)
    {
        const auto target = devices.content.productFolder (productName).getChildFile ("firmware");
        ASSERT_TRUE (target.createDirectory());
        for (auto& image : ContentWorld::sampleContent().getChildFile (productName).getChildFile ("firmware")
                               .findChildFiles (juce::File::findFiles, false, "*.syx"))
            ASSERT_TRUE (image.copyFileTo (target.getChildFile (image.getFileName())));
        ASSERT_TRUE (getContentManager()->loadStoredContent (productId));
    }

    void ContentComponentWorld::trackUsage()
    {
        setEventTracker (new EventTracker());
        tracking = true;
    }

    juce::StringArray ContentComponentWorld::waitForUsageEvents (const juce::String& script, int count, int timeoutMs)
    {
        const auto path = "/lark-spire-2/php/tracking-1.0/" + script;
        auto bodies = [&]
        {
            juce::StringArray found;
            for (auto& r : devices.content.server.getRequests())
                if (r.method == "POST" && r.path == path)
                    found.add (r.body);
            return found;
        };
        pumpUntil ([&] { return bodies().size() >= count; }, timeoutMs);
        return bodies();
    }

    size_t ContentComponentWorld::countEndings() const
    {
        size_t n = 0;
        for (auto& c : changes.seen)
            if (c.kind == ChangeInfo::deviceEvent
                && (c.code == InfoCode::commandDone || c.code == InfoCode::commandCancelled || c.code == InfoCode::commandFailed))
                ++n;
        return n;
    }

    SeenChange ContentComponentWorld::waitForEnding (size_t before, int timeoutMs)
    {
        SeenChange found;
        pumpUntil ([&]
        {
            size_t n = 0;
            for (auto& c : changes.seen)
                if (c.kind == ChangeInfo::deviceEvent
                    && (c.code == InfoCode::commandDone || c.code == InfoCode::commandCancelled || c.code == InfoCode::commandFailed))
                    if (n++ == before)
                    {
                        found = c;
                        return true;
                    }
            return false;
        }, timeoutMs);
        return found;
    }
}
