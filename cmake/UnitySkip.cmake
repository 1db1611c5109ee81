# Sources compiled on their own rather than in a batch with their neighbours (see KORVANE_UNITY):
# each of these declares a file-scope name that another file of the same target declares too.
# Paths are relative to the repository root.
set(_korvane_unity_skip
    app/MainUnit.cpp
    app/MainUnit_test.cpp
    catalog/CatalogStore.cpp
    catalog/Globals_test.cpp
    catalog/ProgramTables_test.cpp
    catalog/ToolsSettingsForm.cpp
    cataloging/run/CatalogProgressForm.cpp
    cataloging/run/CatalogRun_test.cpp
    cataloging/run/CatalogUpdate.cpp
    cataloging/run/CatalogUpdate_test.cpp
    cataloging/run/VolumeInfo.cpp
    cataloging/selective/SelectiveCatalogForm.cpp
    cataloging/specs/IncludeExclude.cpp
    cataloging/techinfo/TechInfo_test.cpp
    cataloging/volume/VolumeForms.cpp
    controls/entry/CtlPictureField.cpp
    controls/grid/CtlDbTable.cpp
    controls/grid/CtlDbTable_test.cpp
    controls/grid/CtlTableEntryCells.cpp
    controls/kit/KitGraph_test.cpp
    controls/kit/KitObjects_test.cpp
    controls/kit/KitPanel_test.cpp
    controls/kit/StyledLabel.cpp
    dbengine/cursor/CursorNavigation_test.cpp
    dbengine/cursor/RecordUpdate_test.cpp
    dbengine/cursor/RemoteCursor_test.cpp
    dbengine/data/DataFile_test.cpp
    dbengine/data/FieldDescriptor.cpp
    dbengine/expr/ExpPrepare.cpp
    dbengine/expr/ExpTreeStream.cpp
    dbengine/expr/ExpTypeCheck.cpp
    dbengine/expr/FieldConvert.cpp
    dbengine/maint/DataFileVerify_test.cpp
    dbengine/maint/IOFaultLoop_test.cpp
    dbengine/maint/IndexFileVerify_test.cpp
    dbengine/maint/Restructure_test.cpp
    dbengine/maint/VerifyRepair.cpp
    dbengine/session/DataSession.cpp
    dbsql/components/DbQueryStatement_test.cpp
    dbsql/components/DbQuery_test.cpp
    dbsql/sql/SqlGrammar.cpp
    platform/Help.cpp
    platform/RegionalSettings.cpp
    platform/Registry.cpp
    sysutil/ShList.cpp
    sysutil/UtSorter_test.cpp
    sysutil/shell/UtShlDD.cpp
    sysutil/shell/UtShlDD_test.cpp
    sysutil/shell/UtShlViews.cpp
)

foreach(_source IN LISTS _korvane_unity_skip)
    # The property must be set in the folder that defines the target; a file belongs to the
    # nearest folder above it that has a CMakeLists.txt.
    get_filename_component(_dir "${KORVANE_ROOT}/${_source}" DIRECTORY)
    while(NOT EXISTS "${_dir}/CMakeLists.txt")
        get_filename_component(_dir "${_dir}" DIRECTORY)
    endwhile()
    set_source_files_properties("${KORVANE_ROOT}/${_source}" DIRECTORY "${_dir}"
                                PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endforeach()
