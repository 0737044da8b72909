#include "content/PictureDownloadThread.h"
#include "content/ContentDownloadThread.h"
#include "content/ContentManager.h"
#include "core/InfoCodes.h"

PictureDownloadThread::PictureDownloadThread (ContentManager& owner)
    : juce::Thread ("Picture Downloader"), content (owner)
{
}

PictureDownloadThread::~PictureDownloadThread()
{
    // A download in progress is given up at the exit request.
    stopThread (ContentDownloadThread::stopTimeoutMs);
}

void PictureDownloadThread::queueProduct (juce::uint8 productId, bool all)
{
    {
        const juce::ScopedLock sl (queueLock);
        queue.addIfNotAlreadyThere (productId);
        if (all)
            allOfThem.addIfNotAlreadyThere (productId);
    }
    notify();
}

void PictureDownloadThread::run()
{
    while (! threadShouldExit())
    {
        juce::uint8 productId = 255;
        bool all = false;
        {
            const juce::ScopedLock sl (queueLock);
            if (! queue.isEmpty())
            {
                productId = queue.removeAndReturn (0);
                all = allOfThem.contains (productId);
                allOfThem.removeFirstMatchingValue (productId);
            }
        }

        if (productId == 255)
            wait (-1);
        else if (content.downloadVariantImages (productId, all, this))
            postInfoToHub (InfoCode::productPicturesChanged, productId, 0, content.getProductName (productId));
    }
}
