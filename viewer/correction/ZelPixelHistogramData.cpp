#include "ZelPixelHistogramData.h"

void registerPixelHistogramData()
{
    qRegisterMetaType<ZelPixelHistogramData>("ZelPixelHistogramData");
}
