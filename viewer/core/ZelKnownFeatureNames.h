#pragma once

#include <QStringList>

// Every GenICam feature and category name the viewer offers as a completion,
// grouped by category; no name appears twice.
QStringList allKnownFeatureNames();
