/* The camera's private frameworks on the simulated device. The camera's
 * classes are registered by the Camera app itself; these files exist so that
 * opening a framework by its path works as it does on a device. */
int lumora_framework_marker;
