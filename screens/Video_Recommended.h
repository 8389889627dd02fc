#pragma once

#include "screens/VideoResults.h"

// The recommended video screen: the videos the service recommends for a user.
class Video_Recommended : public VideoResults
{
    Q_OBJECT
public:
    explicit Video_Recommended(QObject *parent = nullptr) : VideoResults(Recommended, parent) {}
};
