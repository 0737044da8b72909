#pragma once

#include <juce_core/juce_core.h>

class ContentManager;

// "Picture Downloader": brings the variant pictures of products, one product after the
// other. Nothing waits for it: a unit is shown and used with the pictures on disk (the default
// one for any missing) until its own have come, which is then posted to the hub (0x70005,
// the product id first).
class PictureDownloadThread : public juce::Thread
{
public:
    explicit PictureDownloadThread (ContentManager& owner);
    ~PictureDownloadThread() override;

    // Queues a product's pictures: all of them with `all`, else those missing on disk.
    void queueProduct (juce::uint8 productId, bool all);

    void run() override;

private:
    ContentManager& content;
    juce::CriticalSection queueLock;
    juce::Array<juce::uint8> queue, allOfThem;

    JUCE_DECLARE_NON_COPYABLE (PictureDownloadThread)
};
