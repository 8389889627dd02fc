#pragma once

#include "screens/AudioResults.h"

// The community audio screen: the audio of a community by number.
class Audio_Group : public AudioResults
{
    Q_OBJECT
public:
    explicit Audio_Group(QObject *parent = nullptr) : AudioResults(Group, parent) {}
};
