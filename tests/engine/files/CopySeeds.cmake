# cmake -DFROM=dir -DTO=dir -P CopySeeds.cmake: copies every archive in FROM
# into the corpus folder TO.
file(GLOB archives ${FROM}/*.zip)
file(MAKE_DIRECTORY ${TO})
file(COPY ${archives} DESTINATION ${TO})
