#pragma once

#include "screens/AudioResults.h"

// The recommended audio screen: the service's recommendations for a user.
class Audio_Recommended : public AudioResults
{
    Q_OBJECT
public:
    explicit Audio_Recommended(QObject *parent = nullptr) : AudioResults(Recommended, parent) {}
};
