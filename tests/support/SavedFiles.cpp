#include "SavedFiles.h"

#include "SavedInput.h"
#include "SavedOutput.h"
#include "ScanExport.h"
#include "ScanImport.h"

bool Save(const DriveScan &scan, const QByteArray &file)
{
    SavedOutput out;
    ScanExport writer(scan);
    return out.open(file) && writer.write(out);
}

std::unique_ptr<DriveScan> Load(const QByteArray &file, ImportError *error)
{
    SavedInput in;
    ScanImport reader;
    std::unique_ptr<DriveScan> scan = in.open(file) ? reader.read(in) : nullptr;
    if (error)
        *error = in.error().problem != ImportError::None ? in.error() : reader.error();
    return scan;
}
