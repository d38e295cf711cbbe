// Resource identifiers of the settings subsystem.
#pragma once
