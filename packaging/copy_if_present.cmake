# cmake -DFROM=file -DTO=file -P copy_if_present.cmake
# Copies FROM to TO (making TO's folder) when FROM exists; nothing otherwise.
if(EXISTS "${FROM}")
  get_filename_component(to_dir "${TO}" DIRECTORY)
  file(MAKE_DIRECTORY "${to_dir}")
  file(COPY_FILE "${FROM}" "${TO}" ONLY_IF_DIFFERENT)
endif()
