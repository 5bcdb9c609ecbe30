# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack after the installation into its staging folder: adds the two files that Debian
# wants in every package's documentation folder, the copyright file and the compressed changelog.
set(doc ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${doc})
file(COPY_FILE ${CPACK_KOLVEX_COPYRIGHT} ${doc}/copyright)
execute_process(COMMAND gzip -9nc ${CPACK_KOLVEX_CHANGELOG} OUTPUT_FILE ${doc}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
