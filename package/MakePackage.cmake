# Makes the package: the files of the install rules' component lumora
# staged at their device paths (STAGING), the control file beside them, and
# dpkg-deb's archive of the whole with root as every file's owner (OUTPUT).
# The modes are the install rules': 0755 for folders and libraries, 0644
# for the filter.
file(REMOVE_RECURSE ${STAGING})
file(MAKE_DIRECTORY ${STAGING}/DEBIAN)
file(CHMOD ${STAGING} ${STAGING}/DEBIAN PERMISSIONS ${PERMISSIONS})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --component lumora --prefix ${STAGING}
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(COPY_FILE ${CONTROL} ${STAGING}/DEBIAN/control)
file(CHMOD ${STAGING}/DEBIAN/control PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# Written aside and then moved, so that a failed run leaves no package.
file(REMOVE ${OUTPUT}.part)
execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip -z6 --build ${STAGING} ${OUTPUT}.part
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${OUTPUT}.part ${OUTPUT})
