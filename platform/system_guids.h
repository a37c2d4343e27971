// Identifiers the system needs that the SDK headers do not all define: the tuner driver's
// vendor property set and the BDA device categories, and declarations MinGW's headers lack.
#pragma once

extern const GUID PROPSETID_TunerLevel;

#ifndef KSCATEGORY_BDA_NETWORK_TUNER
extern const GUID KSCATEGORY_BDA_NETWORK_TUNER;
extern const GUID KSCATEGORY_BDA_RECEIVER_COMPONENT;
extern const GUID KSCATEGORY_BDA_TRANSPORT_INFORMATION;
#endif

#ifdef __MINGW32__
// MinGW's import library defines these, but its tuner.h does not declare them.
extern "C" const CLSID CLSID_DVBTuningSpace;
extern "C" const CLSID CLSID_DVBTLocator;
#endif
