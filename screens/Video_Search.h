#pragma once

#include "screens/VideoResults.h"

// The video search screen: the service's videos found for a text, in a quality, page by page.
class Video_Search : public VideoResults
{
    Q_OBJECT
public:
    explicit Video_Search(QObject *parent = nullptr) : VideoResults(Search, parent) {}
};
