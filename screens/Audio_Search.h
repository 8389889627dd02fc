#pragma once

#include "screens/AudioResults.h"

// The audio search screen: the service's audio found for a text, page by page.
class Audio_Search : public AudioResults
{
    Q_OBJECT
public:
    explicit Audio_Search(QObject *parent = nullptr) : AudioResults(Search, parent) {}
};
