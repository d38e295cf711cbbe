// Resource identifiers of the recording profiles.
#pragma once
