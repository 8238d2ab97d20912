#ifndef OXLE_DESKTOP_BOXROOT_H
#define OXLE_DESKTOP_BOXROOT_H

#include <string>

// The folder that stands in for the box's file system. boxPath() puts it in front of
// every absolute box path. Empty means the real root (identity).
void setBoxRoot(const std::string& root);
const std::string& getBoxRoot();

#endif
