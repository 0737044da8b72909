#include "content/TrackingQuery.h"
#include "content/WebTransfer.h"

TrackingQuery::TrackingQuery (const juce::String& e) : endpoint (e)
{
}

bool TrackingQuery::addParameter (const juce::String& name, const juce::var& value)
{
    const juce::Identifier id (name);
    if (names.contains (id))
        return false;
    names.add (id);
    values.add (value);
    return true;
}

juce::URL TrackingQuery::buildUrl() const
{
    juce::URL url (WebRoot::getTrackingBase() + "/php/tracking-1.0/" + endpoint.toString());
    for (int i = 0; i < names.size(); ++i)
        url = url.withParameter (names.getReference (i).toString(), values.getReference (i).toString());
    return url;
}

juce::String TrackingQuery::getParameterText() const
{
    juce::String text;
    for (int i = 0; i < names.size(); ++i)
        text << " " << names.getReference (i).toString() << "='" << values.getReference (i).toString() << "'";
    return text;
}
