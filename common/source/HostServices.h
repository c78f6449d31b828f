#ifndef HOSTSERVICES_H
#define HOSTSERVICES_H

#include <framework/linux/LinuxHost.h>

/**
 * Connects the platform services to a Linux host about to be made: every turn
 * runs their tasks, pages and due notifications (handed to the host's
 * notification handler), and dialogs and pages go over the host's window
 * while it exists.
 */
void addPlatformServices(framework::LinuxHost::Options& options);

#endif
