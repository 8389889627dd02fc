#pragma once

#include "screens/VideoResults.h"

// The community video screen: the videos of a community by its number.
class Video_Group : public VideoResults
{
    Q_OBJECT
public:
    explicit Video_Group(QObject *parent = nullptr) : VideoResults(Group, parent) {}
};
