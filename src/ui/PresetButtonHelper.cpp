#include "ui/PresetButtonHelper.h"
#include "ui/CellButtonHelper.h"
#include "ui/IconButtonHelper.h"

PresetButtonHelper::PresetButtonHelper()
{
    for (auto& i : image)
        images.add (&i);
}

const juce::Image& PresetButtonHelper::getImage (int index) const
{
    jassert (index >= 0 && index < 8);
    return image[juce::jlimit (0, 7, index)];
}

int PresetButtonHelper::chooseImageIndex (bool empty, bool changed, bool isDeviceData, bool differsFromFactory,
                                          bool toggled) noexcept
{
    const bool changedOnUnit = changed && isDeviceData;

    if (empty)
        return changedOnUnit ? 7 : 6;

    if (changedOnUnit)
        return toggled ? 5 : 4;

    if (differsFromFactory)
        return toggled ? 3 : 2;

    return toggled ? 1 : 0;
}

//==============================================================================
namespace
{
    // A spin lock, a user count and the helper: one per helper kind.
    struct HelperHolder
    {
        juce::SpinLock lock;
        int users = 0;
        PresetButtonHelper* helper = nullptr;
    };

    HelperHolder cellHolder, iconHolder;

    template <typename HelperType>
    PresetButtonHelper* acquire (HelperHolder& holder)
    {
        const juce::SpinLock::ScopedLockType sl (holder.lock);

        if (++holder.users == 1)
        {
            auto* helper = new HelperType();
            helper->prepare (HelperType::defaultWidth, HelperType::defaultHeight);
            holder.helper = helper;
        }

        return holder.helper;
    }

    void release (HelperHolder& holder)
    {
        const juce::SpinLock::ScopedLockType sl (holder.lock);
        jassert (holder.users > 0);

        if (holder.users > 0 && --holder.users == 0)
        {
            delete holder.helper;
            holder.helper = nullptr;
        }
    }

    int countUsers (HelperHolder& holder)
    {
        const juce::SpinLock::ScopedLockType sl (holder.lock);
        return holder.users;
    }

    PresetButtonHelper* current (HelperHolder& holder)
    {
        const juce::SpinLock::ScopedLockType sl (holder.lock);
        return holder.helper;
    }
}

PresetButtonHelper* acquireCellButtonHelper()  { return acquire<CellButtonHelper> (cellHolder); }
void releaseCellButtonHelper()                 { release (cellHolder); }
PresetButtonHelper* acquireIconButtonHelper()  { return acquire<IconButtonHelper> (iconHolder); }
void releaseIconButtonHelper()                 { release (iconHolder); }
int getCellButtonHelperUserCount()             { return countUsers (cellHolder); }
int getIconButtonHelperUserCount()             { return countUsers (iconHolder); }
PresetButtonHelper* getCurrentCellButtonHelper() { return current (cellHolder); }
PresetButtonHelper* getCurrentIconButtonHelper() { return current (iconHolder); }
