// Resource identifiers of the email subsystem.
#pragma once
