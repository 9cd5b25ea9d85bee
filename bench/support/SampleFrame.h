#pragma once
// Frames for the benchmarks: a mix of every item kind spread over the banner.
class CBannerFrame;
class ImagingControl;

// Adds `count` items, the kinds in turn, placed by `seed`; `work` makes the pictures.
void FillSampleFrame(CBannerFrame &frame, int count, int seed, ImagingControl &work);
