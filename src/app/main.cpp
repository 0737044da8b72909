#include "app/Larkspire.h"

START_JUCE_APPLICATION (Larkspire)
