#pragma once

#include "DriveScan.h"
#include "ImportError.h"

#include <QByteArray>

#include <memory>

// A scan to a file and back, as the window saves and opens one.
bool Save(const DriveScan &scan, const QByteArray &file);
// Null when the file cannot be read; then *error says why.
std::unique_ptr<DriveScan> Load(const QByteArray &file, ImportError *error = nullptr);
