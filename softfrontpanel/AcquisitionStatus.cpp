#include "AcquisitionStatus.h"

AcquisitionStatus acquisitionStatus;
