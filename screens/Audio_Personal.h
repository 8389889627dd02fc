#pragma once

#include "screens/AudioResults.h"

// The personal audio screen: the audio of the signed-in user or of any user by number.
class Audio_Personal : public AudioResults
{
    Q_OBJECT
public:
    explicit Audio_Personal(QObject *parent = nullptr) : AudioResults(Personal, parent) {}
};
