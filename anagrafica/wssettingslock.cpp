#include "wssettingslock.h"

std::mutex &korvexWsSettingsMutex()
{
    static std::mutex mutex;
    return mutex;
}
