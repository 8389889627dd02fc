#pragma once

#include "screens/VideoResults.h"

// The personal video screen: the videos of the signed-in user or of any user by number.
class Video_Personal : public VideoResults
{
    Q_OBJECT
public:
    explicit Video_Personal(QObject *parent = nullptr) : VideoResults(Personal, parent) {}
};
