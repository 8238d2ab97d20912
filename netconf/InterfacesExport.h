#ifndef OXLE_NETCONF_INTERFACESEXPORT_H
#define OXLE_NETCONF_INTERFACESEXPORT_H

// The interfaces-file functions are part of the plugin's exported interface: they stay
// visible even if the plugin is ever built with hidden default visibility.
#define OXLE_NETCONF_EXPORT __attribute__((visibility("default")))

#endif
