// Ids of the wizard window's controls.
#ifndef PONTIRO_APP_IDS_H
#define PONTIRO_APP_IDS_H

#include "device/lazyid.h"

inline const LazyId ID_NEXT{};
inline const LazyId ID_CANCEL{};
inline const LazyId ID_LANGUAGE{};
inline const LazyId ID_CONTENT_CHECK{};
inline const LazyId ID_BROWSE{};

#endif
