#pragma once

#include "archive/DataSourceTree.h"
#include "archive/LocalArchiveManager.h"
#include "core/AppPaths.h"
#include "core/InfoCodes.h"
#include "core/Settings.h"
#include "device/DeviceObject.h"
#include "ui/AppCommandIds.h"
#include "ui/DataPage.h"
#include "ui/ToolbarButtonEx.h"
#include "support/ContentComponentWorld.h"

namespace testing_support
{
    // The main content component with the real data page, on the virtual port layer with
    // one simulated Merle unit holding presets 1 to 6.
    struct PageWorld
    {
        explicit PageWorld (int syncMethod = 0, juce::uint8 productId = DeviceWorld::merle)
            : w ([this] (RecordingParts& p)
                 {
                     p.makeDataPage = [this]
                     {
                         auto made = std::make_unique<DataPage>();
                         page = made.get();
                         return made;
                     };
                 })
        {
            setDataSyncMethod (syncMethod);
            // Every Piper build answers the identity query sent to all units, and is asked only so.
            unit = w.devices.addUnit (productId, 140, 4321, productId == DeviceWorld::piper);
            unit->fillPresets ({ 1, 2, 3, 4, 5, 6 }, 7);
        }

        bool connect()
        {
            return w.scan() && isUnitConnected();
        }

        bool waitForSynced()
        {
            return pumpUntil ([this] { return page->getDataSet() != nullptr && ! page->needsSync() && ! page->isBusy(); },
                              60000);
        }

        bool disconnect()
        {
            w.component().invokeDirectly (AppCommand::disconnectDevice, false);
            return pumpUntil ([this] { return page->getDataSet() == nullptr; }, 60000);
        }

        DeviceData* working() const { return page->getDataSet()->getWorking(); }
        juce::ValueTree deviceNode() const { return findDeviceSourceNode (page->getSourcesRoot()); }
        int presetRequests() const { return unit->countReceived (0x45); }
        // The numbers of the presets the unit was sent, from its log.
        juce::Array<int> presetsWritten() const
        {
            juce::Array<int> numbers;
            for (auto& e : unit->getReceived (0x20))
                numbers.add (e.value14());
            return numbers;
        }
        // Runs what `start` sets going and waits for the command's ending.
        SeenChange endingOf (const std::function<void()>& start)
        {
            const auto before = w.countEndings();
            start();
            const auto ending = w.waitForEnding (before);
            pumpFor (50);
            return ending;
        }

        void click (int itemId)
        {
            auto* item = page->getToolbarItem (itemId);
            ASSERT_NE (item, nullptr) << itemId;
            page->buttonClicked (item);
        }

        DataPage* page = nullptr;   // made while `w` is built: declared first
        ContentComponentWorld w;
        std::shared_ptr<SimulatedUnit> unit;
    };
}
