// Identifiers the system needs that the SDK headers do not all define: the tuner driver's
// vendor property set, the BDA device categories and two tuning-model classes.
#pragma once

extern const GUID PROPSETID_TunerLevel;

#ifndef KSCATEGORY_BDA_NETWORK_TUNER
extern const GUID KSCATEGORY_BDA_NETWORK_TUNER;
extern const GUID KSCATEGORY_BDA_RECEIVER_COMPONENT;
extern const GUID KSCATEGORY_BDA_TRANSPORT_INFORMATION;
#endif

#if !defined(_MSC_VER)
extern const CLSID CLSID_DVBTuningSpace;
extern const CLSID CLSID_DVBTLocator;
#endif
