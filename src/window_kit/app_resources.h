#pragma once

namespace kit {

// Registers the compiled-in picture and icons (":/picture.jpg",
// ":/icons/NN.png", the program's own icon ":/tavrel.png"). Safe to call any number of times; the image list and the
// picture loader call it themselves, so only code that opens these resource
// paths directly needs it.
void initResources();

}  // namespace kit
